# Helpers shared by every module.
include(GoogleTest)

# A plain C++ library of one module: its sources are every .cpp in the folder.
function(zeph_add_library name)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(NOT sources)
    return()  # a module with no code yet
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINK})
endfunction()

# Every executable of ours lands in build/bin and carries the version record note.
function(zeph_add_executable name)
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  if(TARGET zeph_version_note)
    target_link_libraries(${name} PRIVATE zeph_version_note)
  endif()
endfunction()

# A GoogleTest program of one test folder: every .cpp in the folder, with the shared test main
# that gives each test process a fresh, isolated HOME.
function(zeph_add_test name)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE zeph_test_support ${ARG_LINK})
  if(TARGET zeph_version_note)
    target_link_libraries(${name} PRIVATE zeph_version_note)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "ZEPH_BUILD_BIN=${CMAKE_BINARY_DIR}/bin")
endfunction()
