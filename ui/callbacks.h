// The callbacks that the panel files name (ui/ascii.h has their panels and controls).
#pragma once

// Callbacks named in the panel files.
int COM_PORT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int ON_OFF(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int QUIT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int COMMAND(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int SENDEN(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int TIMER(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int FullText(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int Help(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CloseText(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
int CloseHelp(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
