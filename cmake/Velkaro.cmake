# Every target of ours compiles with the same warning set; CI turns it into errors.
function(velkaro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  # GCC 12 reports std::string's own concatenation as an overlapping copy at
  # -O2 (GCC bug 105329): a false alarm inside the standard library.
  target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  if(VELKARO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Areas of the tree add their own test, benchmark and fuzz folders; a folder
# joins the build once it has a CMakeLists.txt.
function(velkaro_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# A GoogleTest executable registered with CTest.
function(velkaro_gtest name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
  velkaro_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
endfunction()
