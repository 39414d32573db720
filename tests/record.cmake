# The exchange record's registry of readers, the statistics and the trend's store.
kelvra_add_test(record_tests SOURCES record_test.cpp record_trend_test.cpp LIBS kelvra_record)
