# The tool as a desktop installs and meets it: the installed tree, checked file by file and by
# the desktop's own validators; the options that print and exit, run without a display; port
# assistance through the real serial layer; the window under light and dark palettes at 100 %
# and 200 %.
include(${CMAKE_CURRENT_LIST_DIR}/support/support.cmake)

add_test(NAME install_tree
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install_tree.sh ${PROJECT_BINARY_DIR}
                 ${PROJECT_VERSION} ${KELVRA_APP_ID})
set_tests_properties(install_tree PROPERTIES ENVIRONMENT "${KELVRA_TEST_ENV}" TIMEOUT 120)

kelvra_add_test(desktop_options SOURCES desktop_options.cpp)
target_compile_definitions(desktop_options PRIVATE KELVRA_ASCII="$<TARGET_FILE:kelvra-ascii>"
                                                   KELVRA_VERSION="${PROJECT_VERSION}")
add_dependencies(desktop_options kelvra-ascii)

kelvra_add_test(desktop_ports SOURCES desktop_ports.cpp
                LIBS kelvra_ui kelvra_rs232_qt kelvra_test_pty)

kelvra_add_test(desktop_window SOURCES desktop_window.cpp LIBS kelvra_ui_harness kelvra_test_pty)
add_test(NAME desktop_window_200 COMMAND desktop_window)
set_tests_properties(desktop_window_200 PROPERTIES
                     ENVIRONMENT "${KELVRA_TEST_ENV};QT_SCALE_FACTOR=2" TIMEOUT 300)
