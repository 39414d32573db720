# Hardening: faults and bounds end to end through the real window, re-entrancy, a chamber that
# vanishes and comes back, and what the command field takes. Each file is its own executable,
# so ctest runs their real waits side by side.
include(${CMAKE_CURRENT_LIST_DIR}/support/support.cmake)

foreach(name hardening_bounds hardening_reentrancy hardening_unplug hardening_input)
    kelvra_add_test(${name} SOURCES ${name}.cpp LIBS kelvra_exchange_support)
endforeach()
kelvra_add_test(hardening_responsive SOURCES hardening_responsive.cpp LIBS kelvra_exchange_support)
