# The exchange record's registry of readers, the statistics, the outcome's words and the line
# monitor's store.
kelvra_add_test(record_tests SOURCES record_test.cpp record_words.cpp record_monitor.cpp
                LIBS kelvra_record)
