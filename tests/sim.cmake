# The chamber simulator: its modules alone, and the program as a process on a pseudo-terminal.
kelvra_add_test(sim_unit_test
    SOURCES sim_reader_test.cpp sim_answer_test.cpp
    LIBS kelvra_sim)

# Tests that run kelvra-chamber itself find it by its path.
foreach(name sim_process_test sim_fault_test)
    kelvra_add_test(${name}
        SOURCES ${name}.cpp support/sim_process.cpp
        LIBS kelvra_frame)
    target_compile_definitions(${name} PRIVATE KELVRA_CHAMBER="$<TARGET_FILE:kelvra-chamber>")
    add_dependencies(${name} kelvra-chamber)
endforeach()
