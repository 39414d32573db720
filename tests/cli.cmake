# The command-line exchange: kelvra-ascii run as a process, as a script runs it, against chamber
# simulators on pseudo-terminals. Each executable starts its runs side by side, and ctest runs
# the executables side by side, so the exchanges' real waits overlap.
foreach(name cli_usage cli_output cli_faults cli_scan cli_polling)
    kelvra_add_test(${name} SOURCES ${name}.cpp cli_run.cpp support/sim_process.cpp
                    LIBS kelvra_frame)
    target_compile_definitions(${name} PRIVATE KELVRA_ASCII="$<TARGET_FILE:kelvra-ascii>"
                                               KELVRA_CHAMBER="$<TARGET_FILE:kelvra-chamber>")
    add_dependencies(${name} kelvra-ascii kelvra-chamber)
endforeach()

kelvra_add_test(cli_messages SOURCES cli_messages.cpp LIBS kelvra_userint_qt)
