include(CMakePackageConfigHelpers)

install(TARGETS kiv EXPORT kivTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Public headers are the kiv_*.h files of each folder.
foreach(folder runtime solver params tables hydraulics geometry gearpump)
  file(GLOB _hdrs ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/kiv_*.h)
  if(_hdrs)
    install(FILES ${_hdrs} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kiv/${folder})
  endif()
endforeach()

# The KIV root: units file and fluid data files.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/share/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kiv)

install(EXPORT kivTargets NAMESPACE kiv::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kiv)
configure_package_config_file(cmake/kivConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kivConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kiv
  PATH_VARS CMAKE_INSTALL_DATADIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kivConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kivConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/kivConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kiv)
