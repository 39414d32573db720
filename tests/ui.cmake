# Tests of the window: panel files, start-up, callbacks and event delivery on the real panels.
add_library(kelvra_ui_harness STATIC support/ui_harness.cpp)
target_link_libraries(kelvra_ui_harness PUBLIC kelvra_ui kelvra_link kelvra_rs232_qt kelvra_userint_qt
                                               Qt6::Test GTest::gtest)

kelvra_add_test(ui_panels SOURCES ui_panels.cpp LIBS kelvra_ui_harness)
target_compile_definitions(ui_panels PRIVATE KELVRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
kelvra_add_test(ui_window SOURCES ui_window.cpp LIBS kelvra_ui_harness)
kelvra_add_test(ui_ticks SOURCES ui_ticks.cpp LIBS kelvra_ui_harness)
kelvra_add_test(ui_options SOURCES ui_options.cpp LIBS kelvra_ui kelvra_link kelvra_rs232_qt)

kelvra_add_test(ui_trend SOURCES ui_trend.cpp LIBS kelvra_ui_harness)
