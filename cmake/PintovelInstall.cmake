# Installs the header, the library, a CMake package (find_package(Pintovel CONFIG)) and a
# pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS pintovel EXPORT PintovelTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/pintovel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(PINTOVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Pintovel)
install(EXPORT PintovelTargets NAMESPACE pintovel:: DESTINATION ${PINTOVEL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PintovelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/PintovelConfig.cmake INSTALL_DESTINATION ${PINTOVEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/PintovelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/PintovelConfig.cmake
  ${PROJECT_BINARY_DIR}/PintovelConfigVersion.cmake DESTINATION ${PINTOVEL_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/pintovel.pc.in ${PROJECT_BINARY_DIR}/pintovel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pintovel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
