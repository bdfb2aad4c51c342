# The version every program, the About box and the packages report, from one
# place: project(VERSION) in the top CMakeLists.txt. In a git checkout that
# has a tag, a build between releases gets git's description appended
# ("1.0.0+3.g1a2b3c4", ".dirty" with uncommitted changes); a build at a tag,
# from a tarball or without git is the project version alone. The result is
# a valid Debian version (the package uses it as it stands).
#
# Sets ZELT_VERSION and makes the interface library zelt_version, whose
# header "ZeltVersion.h" defines ZELT_VERSION as a string.
set(ZELT_VERSION ${PROJECT_VERSION})
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --long --dirty
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE _describe OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _describe_result ERROR_QUIET)
  # "TAG-N-gHASH" or "TAG-N-gHASH-dirty"; no tag: nothing is added.
  if(_describe_result EQUAL 0 AND _describe MATCHES "-([0-9]+)-g([0-9a-f]+)(-dirty)?$")
    set(_commits ${CMAKE_MATCH_1})
    set(_hash ${CMAKE_MATCH_2})
    set(_dirty ${CMAKE_MATCH_3})
    if(NOT _commits EQUAL 0)
      string(APPEND ZELT_VERSION "+${_commits}.g${_hash}")
    endif()
    if(_dirty)
      if(_commits EQUAL 0)
        string(APPEND ZELT_VERSION "+dirty")
      else()
        string(APPEND ZELT_VERSION ".dirty")
      endif()
    endif()
  endif()
  # A commit, a tag or a change staged makes CMake describe it again.
  foreach(_what HEAD index packed-refs)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --git-path ${_what}
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(_path)
      get_filename_component(_path ${_path} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
      if(EXISTS ${_path})
        set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_path})
      endif()
    endif()
  endforeach()
  execute_process(COMMAND ${GIT_EXECUTABLE} symbolic-ref -q HEAD
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE _ref OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(_ref)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --git-path ${_ref}
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    get_filename_component(_path ${_path} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    if(EXISTS ${_path})
      set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_path})
    endif()
  endif()
endif()
message(STATUS "ZELT-VIEW version ${ZELT_VERSION}")

configure_file(${PROJECT_SOURCE_DIR}/cmake/ZeltVersion.h.in
               ${PROJECT_BINARY_DIR}/generated/ZeltVersion.h @ONLY)
add_library(zelt_version INTERFACE)
target_include_directories(zelt_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
