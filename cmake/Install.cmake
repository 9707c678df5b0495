# `cmake --install build --prefix P`: bin/bnscore; lib/ with libbnscore,
# libmodelcore and the plug-in libbayesnet.so side by side (each finds the
# others through $ORIGIN, and libbnscore and bnscore find the plug-in beside
# themselves); the public headers in include/bnscore (and the status codes
# they re-export, include/host/interfaces/StatusCodes.h); the CMake package
# (find_package(bnscore) -> bnscore::bnscore) in lib/cmake/bnscore and the
# pkg-config file lib/pkgconfig/bnscore.pc.
include(CMakePackageConfigHelpers)

# The build tree is laid out as an installation (bin/, lib/), so what is
# installed carries its install RPATH ($ORIGIN-relative) there too: nothing
# is rewritten at install, nor padded in the build tree for rewriting (CMake
# pads with ':', an empty element that makes the loader search the current
# directory). The tests and tools find the libraries through the build RPATH.
set_target_properties(bnscore modelcore bayesnet bnscore_shared PROPERTIES
  BUILD_WITH_INSTALL_RPATH ON)

install(TARGETS bnscore RUNTIME DESTINATION bin)
install(TARGETS modelcore bayesnet LIBRARY DESTINATION lib)
install(TARGETS bnscore_shared EXPORT bnscoreTargets
  LIBRARY DESTINATION lib
  INCLUDES DESTINATION include)
install(DIRECTORY include/bnscore DESTINATION include)
# The status codes the public header re-exports (it depends on nothing).
install(FILES host/interfaces/StatusCodes.h DESTINATION include/host/interfaces)

install(EXPORT bnscoreTargets NAMESPACE bnscore:: DESTINATION lib/cmake/bnscore)
configure_package_config_file(cmake/bnscoreConfig.cmake.in
  ${PROJECT_BINARY_DIR}/bnscoreConfig.cmake
  INSTALL_DESTINATION lib/cmake/bnscore)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/bnscoreConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/bnscoreConfig.cmake
              ${PROJECT_BINARY_DIR}/bnscoreConfigVersion.cmake
  DESTINATION lib/cmake/bnscore)

# The prefix is known only at install time: the file is written then.
install(CODE "
  set(CMAKE_INSTALL_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/bnscore.pc.in\"
                 \"\${CMAKE_INSTALL_PREFIX}/lib/pkgconfig/bnscore.pc\" @ONLY)")
