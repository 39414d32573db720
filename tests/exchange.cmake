# The exchange cycle: its steps against the fakes, and end to end on the real panels, the real
# serial layer and a chamber on a pseudo-terminal (the simulator or a scripted one). The
# end-to-end scenarios wait on real time-outs, so they are split into executables that ctest
# runs side by side.
include(${CMAKE_CURRENT_LIST_DIR}/support/support.cmake)

kelvra_add_test(exchange_steps SOURCES exchange_steps.cpp
                LIBS kelvra_ui kelvra_link kelvra_fake_rs232
                     kelvra_fake_userint)

add_library(kelvra_exchange_support STATIC
    support/exchange_chamber.cpp support/exchange_window.cpp support/sim_process.cpp)
target_link_libraries(kelvra_exchange_support PUBLIC kelvra_ui_harness kelvra_test_pty)
target_compile_definitions(kelvra_exchange_support PRIVATE
                           KELVRA_CHAMBER="$<TARGET_FILE:kelvra-chamber>")
add_dependencies(kelvra_exchange_support kelvra-chamber)

foreach(name exchange_enter exchange_history exchange_modes exchange_faults
             exchange_startup exchange_ticks exchange_port exchange_length exchange_locale
             exchange_bus_scan)
    kelvra_add_test(${name} SOURCES ${name}.cpp LIBS kelvra_exchange_support)
endforeach()

kelvra_add_test(exchange_options SOURCES exchange_options.cpp
                LIBS kelvra_ui kelvra_link kelvra_rs232_qt)
target_compile_definitions(exchange_options PRIVATE
                           KELVRA_ASCII="$<TARGET_FILE:kelvra-ascii>")
add_dependencies(exchange_options kelvra-ascii)
