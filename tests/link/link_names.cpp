// Port names: the --map value parser and the devices that "comN" opens.
#include "link/com_map.h"
#include "link/rs232.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct MapCase {
    const char *value;
    int port;           // 0: refused
    const char *result; // the device, or a piece of the message for a refused value
};

TEST(ComMap, ParsesOrRefusesWithAMessageNamingTheValue) {
    const MapCase cases[] = {
        {"com1=/dev/ttyUSB0", 1, "/dev/ttyUSB0"},
        {"com20=/dev/pts/3", 20, "/dev/pts/3"},
        {"COM3=\\\\.\\COM12", 3, "\\\\.\\COM12"},
        {"com4=/dev/x=y", 4, "/dev/x=y"},
        {"com1", 0, "expected comN=DEVICE"},
        {"/dev/ttyUSB0", 0, "expected comN=DEVICE"},
        {"port1=/dev/ttyS0", 0, "expected comN=DEVICE"},
        {"com1x=/dev/ttyS0", 0, "expected comN=DEVICE"},
        {"com-1=/dev/ttyS0", 0, "expected comN=DEVICE"},
        {"com=/dev/ttyS0", 0, "com1 to com20"},
        {"com0=/dev/ttyS0", 0, "com1 to com20"},
        {"com21=/dev/ttyS0", 0, "com1 to com20"},
        {"com99999999999=/dev/ttyS0", 0, "expected comN=DEVICE"},
        {"com2=", 0, "device is missing"},
        {"", 0, "expected comN=DEVICE"},
    };
    for (const MapCase &c : cases) {
        int port = -7;
        char device[COM_MAP_DEVICE_SIZE] = "untouched";
        char error[200] = "";

        int result = parse_com_map(c.value, &port, device, sizeof device, error, sizeof error);

        if (c.port != 0) {
            EXPECT_EQ(result, 0) << c.value << ": " << error;
            EXPECT_EQ(port, c.port) << c.value;
            EXPECT_STREQ(device, c.result) << c.value;
        } else {
            EXPECT_EQ(result, -1) << c.value;
            EXPECT_NE(std::string(error).find(c.result), std::string::npos) << error;
            EXPECT_NE(std::string(error).find(std::string("--map ") + c.value), std::string::npos)
                << error;
            EXPECT_EQ(port, -7) << c.value;
        }
    }
}

TEST(ComMap, RefusesADeviceTooLongForItsBufferAndCutsTheMessage) {
    int port = 0;
    char device[8];
    char error[24];

    EXPECT_EQ(parse_com_map("com1=/dev/ttyUSB0", &port, device, sizeof device, error, sizeof error),
              -1);
    EXPECT_EQ(std::string(error), "--map com1=/dev/ttyUSB0") << "cut to the buffer";
    EXPECT_EQ(parse_com_map("com1=/dev/tt", &port, device, sizeof device, error, sizeof error), 0);
}

TEST(ComPortDevice, PlatformNamesUnlessMapped) {
#ifdef _WIN32
    EXPECT_STREQ(ComPortDevice(1), "COM1");
    EXPECT_STREQ(ComPortDevice(20), "COM20");
#else
    EXPECT_STREQ(ComPortDevice(1), "/dev/ttyS0");
    EXPECT_STREQ(ComPortDevice(20), "/dev/ttyS19");
#endif
    EXPECT_STREQ(ComPortDevice(0), "");
    EXPECT_STREQ(ComPortDevice(21), "");

    EXPECT_EQ(MapComPort(2, "/dev/ttyUSB0"), 0);
    EXPECT_EQ(MapComPort(2, "/dev/ttyUSB1"), 0) << "a later --map wins";
    EXPECT_STREQ(ComPortDevice(2), "/dev/ttyUSB1");
    EXPECT_EQ(MapComPort(0, "/dev/ttyUSB0"), RS232_BAD_PORT);
    EXPECT_EQ(MapComPort(21, "/dev/ttyUSB0"), RS232_BAD_PORT);
    EXPECT_EQ(MapComPort(3, ""), RS232_BAD_ARGUMENT);
    EXPECT_EQ(MapComPort(3, nullptr), RS232_BAD_ARGUMENT);
}

} // namespace
