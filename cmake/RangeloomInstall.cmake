# Where things go when rangeloom is installed (cmake --install, or the Debian
# package built by CPack from dist/). Included by the top CMakeLists.txt before
# the subsystems, so that every folder can install its programs with
# rangeloom_install_programs() and the Python module with
# rangeloom_install_python_module().
include(GNUInstallDirs)

# The Python module is installed only when this names a folder (relative paths
# are under the install prefix). Debian's interpreter finds compiled modules
# in lib/python3/dist-packages of /usr. A string, not a path: CMake would make
# a relative path given with -D absolute, from the folder cmake runs in.
set(RANGELOOM_PYTHON_INSTALL_DIR "" CACHE STRING
    "Folder to install the Python module into, e.g. lib/python3/dist-packages (empty: not installed)")

# Programs that users run: installed into bin. Everything else (libraries,
# tests, benchmarks, developers' figure tools) stays in the build tree.
# Each has a manual page dist/man/<program>.1.in and bash completion, and the
# tests of tests/dist check both against its --help.
function(rangeloom_install_programs)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set_property(GLOBAL APPEND PROPERTY RANGELOOM_INSTALLED_PROGRAMS ${ARGN})
endfunction()

# The Python extension module: installed into RANGELOOM_PYTHON_INSTALL_DIR when
# set, and the Debian package then depends on the interpreter.
function(rangeloom_install_python_module target)
  if(RANGELOOM_PYTHON_INSTALL_DIR)
    install(TARGETS ${target} LIBRARY DESTINATION ${RANGELOOM_PYTHON_INSTALL_DIR})
    set_property(GLOBAL APPEND PROPERTY RANGELOOM_PACKAGE_DEPENDS "python3")
  endif()
endfunction()
