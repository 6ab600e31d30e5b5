if(NOT WIN32)
  veltrano_test(startup_tests LIBS veltrano_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/StartupTest.cpp)
endif()
if(WIN32)
  veltrano_test(startup_win_tests LIBS veltrano_startup veltrano_platform
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/StartupWinTest.cpp $<TARGET_OBJECTS:veltrano_resources>
                LABELS wine)
endif()
