# The exchange record's registry of readers and the statistics.
kelvra_add_test(record_tests SOURCES record_test.cpp LIBS kelvra_record)
