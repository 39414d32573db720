# Untrusted bytes, shared ports and odd environments: kelvra-ascii as a process against hostile
# lines, locks, paths, displays and outputs, and the window's view of hostile entries.
include(${CMAKE_CURRENT_LIST_DIR}/support/support.cmake)

kelvra_add_test(security_cli SOURCES security_cli.cpp cli_run.cpp
                LIBS kelvra_exchange_support)
target_compile_definitions(security_cli PRIVATE KELVRA_ASCII="$<TARGET_FILE:kelvra-ascii>")
add_dependencies(security_cli kelvra-ascii)

kelvra_add_test(security_window SOURCES security_window.cpp LIBS kelvra_ui_harness)
