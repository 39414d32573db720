# Tests of the window: panel files, start-up, callbacks and event delivery on the real panels.
add_library(kelvra_ui_harness STATIC support/ui_harness.cpp)
target_link_libraries(kelvra_ui_harness PUBLIC ${KELVRA_WINDOW_LIBRARIES} Qt6::Test GTest::gtest)

kelvra_add_test(ui_panels SOURCES ui_panels.cpp LIBS kelvra_ui_harness)
target_compile_definitions(ui_panels PRIVATE KELVRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
kelvra_add_test(ui_window SOURCES ui_window.cpp LIBS kelvra_ui_harness)
kelvra_add_test(ui_ticks SOURCES ui_ticks.cpp LIBS kelvra_ui_harness)
kelvra_add_test(ui_options SOURCES ui_options.cpp LIBS kelvra_ui kelvra_link kelvra_rs232_qt)


# The two user-interface layers meet the same expectations through userint.h: the file is built
# against each.
kelvra_add_test(ui_layers_qt SOURCES ui_layers.cpp LIBS ${KELVRA_WINDOW_LIBRARIES})
kelvra_add_test(ui_layers_headless SOURCES ui_layers.cpp
                LIBS kelvra_ui kelvra_link kelvra_rs232_qt kelvra_userint_headless)
