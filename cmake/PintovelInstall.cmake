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

# The pkg-config file names the prefix by its place relative to the file itself (${pcfiledir}),
# not by CMAKE_INSTALL_PREFIX, so that an install with --prefix, or a tree moved afterwards,
# stays usable. A library or include folder given as an absolute path stays absolute.
set(PINTOVEL_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(PINTOVEL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  # One ".." for each folder between the prefix and the pkg-config folder.
  string(REGEX REPLACE "[^/]+" ".." _up "${PINTOVEL_PC_DIR}")
  set(PINTOVEL_PC_PREFIX "\${pcfiledir}/${_up}")
endif()
foreach(_kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${_kind}}")
    set(PINTOVEL_PC_${_kind} "${CMAKE_INSTALL_${_kind}}")
  else()
    set(PINTOVEL_PC_${_kind} "\${prefix}/${CMAKE_INSTALL_${_kind}}")
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/pintovel.pc.in ${PROJECT_BINARY_DIR}/pintovel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pintovel.pc DESTINATION ${PINTOVEL_PC_DIR})
