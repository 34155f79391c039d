# One library target per source folder: every *.cpp of the folder (not of its subfolders)
# goes in, and the target links only the layers named after DEPENDS.
function(quorvane_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# One test executable per *_test.cpp of the calling folder, so that a test file that does not
# build yet never holds back the others. LIBS are linked into each. (Tests that need an
# environment, such as Qt's offscreen platform, set it in their own main: CTest properties
# given through test discovery lose list values.)
#
# Tests where threads meet carry the CTest label "tsan": every test of the folder with TSAN,
# or those named by file stem after TSAN_TESTS. The target tests_tsan builds just them (see
# tests/CMakeLists.txt), which is all the ThreadSanitizer tree builds and runs.
function(quorvane_tests prefix)
  cmake_parse_arguments(ARG "TSAN" "" "LIBS;TSAN_TESTS" ${ARGN})
  foreach(stem IN LISTS ARG_TSAN_TESTS)
    if(NOT EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${stem}.cpp")
      message(FATAL_ERROR "quorvane_tests(${prefix}): no test ${stem}.cpp for TSAN_TESTS")
    endif()
  endforeach()
  file(GLOB tests CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp")
  foreach(test_source IN LISTS tests)
    get_filename_component(stem "${test_source}" NAME_WE)
    set(target "${prefix}_${stem}")
    add_executable(${target} "${test_source}")
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
    set(properties TIMEOUT 120)
    if(ARG_TSAN OR stem IN_LIST ARG_TSAN_TESTS)
      list(APPEND properties LABELS tsan)
      set_property(GLOBAL APPEND PROPERTY QUORVANE_TSAN_TESTS ${target})
    endif()
    gtest_discover_tests(${target}
      DISCOVERY_TIMEOUT 60
      PROPERTIES ${properties})
  endforeach()
endfunction()
