include(${CMAKE_CURRENT_LIST_DIR}/support/support.cmake)

kelvra_add_test(link_framing SOURCES link_framing.cpp LIBS kelvra_frame)
kelvra_add_test(link_names SOURCES link_names.cpp LIBS kelvra_link kelvra_rs232_qt)
kelvra_add_test(link_port SOURCES link_port.cpp
                LIBS kelvra_link kelvra_fake_rs232 kelvra_fake_userint)
kelvra_add_test(link_receiver SOURCES link_receiver.cpp
                LIBS kelvra_link kelvra_fake_rs232 kelvra_fake_userint)
# Through the real Qt layer on pseudo-terminals.
kelvra_add_test(link_serial SOURCES link_serial.cpp
                LIBS kelvra_link kelvra_rs232_qt kelvra_fake_userint
                     kelvra_test_pty)
