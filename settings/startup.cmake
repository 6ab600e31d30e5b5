# Start-up helpers: AppFolder, the title, the texts of the start-up and exit
# questions. Portable, tested natively; the parts that ask Windows are added
# in the Windows build.
add_library(veltrano_startup STATIC ${CMAKE_CURRENT_LIST_DIR}/AppFolder.cpp ${CMAKE_CURRENT_LIST_DIR}/Startup.cpp)
target_include_directories(veltrano_startup PUBLIC ${CMAKE_SOURCE_DIR})
if(WIN32)
  target_sources(veltrano_startup PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Startup_win.cpp)
  target_link_libraries(veltrano_startup PUBLIC veltrano_platform)
endif()
