# kiv_add_library(folder deps...): a static, position-independent library of
# every .cpp in <folder>, named kiv_<folder>.  New files are picked up at build
# time, so adding a source never means editing a CMake file.
set(KIV_FOLDER_LIBS "" CACHE INTERNAL "")
function(kiv_add_library folder)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT _srcs)
    set(_srcs ${CMAKE_CURRENT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(kiv_${folder} STATIC ${_srcs})
  target_include_directories(kiv_${folder} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(dep IN LISTS ARGN)
    target_link_libraries(kiv_${folder} PUBLIC kiv_${dep})
  endforeach()
  target_compile_definitions(kiv_${folder} PUBLIC KIV_BUILDING)
  # Linked into the shared library with its calls bound inside it, so the
  # compiler may inline and see through calls of exported functions too.
  target_compile_options(kiv_${folder} PRIVATE -fno-semantic-interposition)
  set(KIV_FOLDER_LIBS ${KIV_FOLDER_LIBS} kiv_${folder} CACHE INTERNAL "")
endfunction()

# kiv_add_test_folder(folder): one GoogleTest executable per subsystem folder.
function(kiv_add_test_folder folder)
  file(GLOB _tsrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT _tsrcs)
    return()
  endif()
  add_executable(test_${folder} ${_tsrcs})
  target_link_libraries(test_${folder} PRIVATE kiv_${folder} kiv_testsupport
                        GTest::gtest GTest::gmock kiv_testmain)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # g++ 12 reports std::string concatenation in its own headers as an
    # overlapping copy at -O2 and above (a known false positive).
    target_compile_options(test_${folder} PRIVATE -Wno-restrict)
  endif()
  # gtest_discover_tests flattens list-valued properties, so only KIV goes
  # through the environment; the data directory is compiled in.
  gtest_discover_tests(test_${folder}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "KIV=${KIV_SOURCE_ROOT}" LABELS ${folder}
    DISCOVERY_TIMEOUT 60)
endfunction()
