kelvra_add_test(display_tests
    SOURCES display_views_test.cpp display_request_test.cpp display_response_test.cpp
            display_property_test.cpp
    LIBS kelvra_display kelvra_frame)
