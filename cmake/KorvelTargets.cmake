# Settings every target of ours gets: warnings, sanitizers and, for Windows, the Unicode API.
function(korvel_target_settings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KORVEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(KORVEL_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                                                 _WIN32_WINNT=0x0601)
  endif()
  # The generated folder holds korvel_version.h.
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}
                                              ${PROJECT_BINARY_DIR}/generated)
endfunction()

# A GoogleTest program of ours. Tests are listed when ctest starts, so that listing the Windows
# tests (which runs them under Wine) is not part of the build.
function(korvel_add_test_program target)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${target} ${arg_SOURCES})
  korvel_target_settings(${target})
  target_link_libraries(${target} PRIVATE ${arg_LIBRARIES} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE
    KORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 120)
endfunction()
