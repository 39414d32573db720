# The exchange record's registry of readers and the statistics.
kelvra_add_test(record_tests SOURCES record_test.cpp LIBS kelvra_record)

# The log file, also under a program killed while it logs: the exchange cycle runs on the fakes.
include(${CMAKE_CURRENT_LIST_DIR}/support/support.cmake)
kelvra_add_test(record_log SOURCES record_log.cpp
                LIBS kelvra_ui kelvra_link kelvra_fake_rs232 kelvra_fake_userint)
