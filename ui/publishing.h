// Publishing to MQTT in a run without a window (--mqtt): started before the first exchange, its
// connection problems told on standard error as they come, the waiting messages sent at the end.
// No Qt here.
#pragma once

enum {
    EXIT_MQTT_SETTINGS = 78, // the credentials or CA file of --mqtt cannot be used
};

// Starts publishing as --mqtt asked; nothing without it. Returns 0, or EXIT_USAGE or
// EXIT_MQTT_SETTINGS after a message on stderr.
int start_command_line_publishing(void);
// Ends publishing: gives the waiting messages up to 2 s and says on stderr how many were left
// unsent. Returns status, the run's, unchanged.
int finish_command_line_publishing(int status);
