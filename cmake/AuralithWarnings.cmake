# Warning flags for the project's own targets (not for third-party code).
function(auralith_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow
                         -Wcast-align -Wpointer-arith)
  if(AURALITH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Windows build only: the SDK headers precompiled once per target (each file would otherwise
# parse windows.h, objidl.h and strmif.h again). Sources do not depend on it.
function(auralith_windows_pch target)
  if(WIN32)
    target_precompile_headers(${target} PRIVATE ${AURALITH_ROOT}/platform/win32_pch.h)
  endif()
endfunction()

# A library of one folder: sources listed by the folder, headers found from the tree's top.
function(auralith_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    # A folder that so far holds only headers.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${AURALITH_ROOT})
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${target} STATIC ${ARG_SOURCES})
  auralith_windows_pch(${target})
  target_include_directories(${target} PUBLIC ${AURALITH_ROOT})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  auralith_warnings(${target})
endfunction()

# One GoogleTest executable per tested folder, each test registered with CTest.
function(auralith_test target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${target} ${ARG_SOURCES})
  auralith_windows_pch(${target})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  auralith_warnings(${target})
  if(CMAKE_CROSSCOMPILING)
    # Run whole under the target system (scripts/test-windows.sh runs them under Wine).
    add_test(NAME ${target} COMMAND ${target})
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
