# Shared test support: fakes of the two platform headers and a pty helper.
# Any area's test file may include this; it defines its targets once.
include_guard(GLOBAL)

# Scripted serial line on a virtual clock, in place of kelvra_rs232_qt (fake_rs232.h).
add_library(kelvra_fake_rs232 STATIC ${CMAKE_CURRENT_LIST_DIR}/fake_rs232.cpp)
# In-memory panels, in place of the Qt user-interface layer (fake_userint.h).
add_library(kelvra_fake_userint STATIC ${CMAKE_CURRENT_LIST_DIR}/fake_userint.cpp)
# A raw pseudo-terminal whose slave path a serial layer opens (pty.h).
add_library(kelvra_test_pty STATIC ${CMAKE_CURRENT_LIST_DIR}/pty.cpp)
target_link_libraries(kelvra_test_pty PUBLIC util)
