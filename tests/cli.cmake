# The command-line exchange: kelvra-ascii run as a process, as a script runs it, against chamber
# simulators on pseudo-terminals. Each executable starts its runs side by side, and ctest runs
# the executables side by side, so the exchanges' real waits overlap.
foreach(name cli_usage cli_output cli_faults)
    kelvra_add_test(${name} SOURCES ${name}.cpp cli_run.cpp support/sim_process.cpp
                    LIBS kelvra_frame)
    target_compile_definitions(${name} PRIVATE KELVRA_ASCII="$<TARGET_FILE:kelvra-ascii>"
                                               KELVRA_CHAMBER="$<TARGET_FILE:kelvra-chamber>")
    add_dependencies(${name} kelvra-ascii kelvra-chamber)
endforeach()

# Why an answer failed, one run per outcome against scripted chambers on pseudo-terminals.
include(${CMAKE_CURRENT_LIST_DIR}/support/support.cmake)
kelvra_add_test(cli_diagnostics
    SOURCES cli_diagnostics.cpp cli_run.cpp support/sim_process.cpp support/exchange_chamber.cpp
    LIBS kelvra_frame kelvra_test_pty)
target_compile_definitions(cli_diagnostics PRIVATE KELVRA_ASCII="$<TARGET_FILE:kelvra-ascii>"
                                                   KELVRA_CHAMBER="$<TARGET_FILE:kelvra-chamber>")
add_dependencies(cli_diagnostics kelvra-ascii kelvra-chamber)

kelvra_add_test(cli_messages SOURCES cli_messages.cpp LIBS kelvra_userint_qt)
