if(WIN32)
  # Rebuild the resources when a picture is drawn again.
  set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/Veltrano.rc APPEND PROPERTY OBJECT_DEPENDS
               ${CMAKE_CURRENT_LIST_DIR}/Veltrano.ico ${CMAKE_CURRENT_LIST_DIR}/ClockPicture.bmp)

  # What lies beside Veltrano.exe in the program's folder: the server list
  # that the user edits, and the page that "&Help" opens. Copied byte for
  # byte, so the list keeps its CR LF line ends.
  foreach(file ntp_servers.txt veltrano-help.html)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${file} ${CMAKE_BINARY_DIR}/bin/${file} COPYONLY)
  endforeach()
endif()
