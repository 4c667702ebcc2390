# libopenmpt for the page, compiled from its source (OPENMPT_SOURCE_DIR, as
# fetch-libopenmpt unpacks it) with the source list of its own build system, so
# the page plays with the same library version as the native programs. Built
# without its optional codecs (the songs use none) and at -Os: it is most of
# the page's code, and mixing costs little at any optimisation.
set(OPENMPT_SOURCE_DIR "" CACHE PATH "unpacked libopenmpt 0.6.9 source")
if(NOT EXISTS "${OPENMPT_SOURCE_DIR}/Makefile.am")
  message(FATAL_ERROR "OPENMPT_SOURCE_DIR must name the libopenmpt source (platform/web/fetch-libopenmpt)")
endif()

file(STRINGS "${OPENMPT_SOURCE_DIR}/Makefile.am" openmpt_lines
     REGEX "^MPT_FILES_(COMMON|SOUNDLIB|SOUNDDSP) \\+= .*\\.cpp$")
set(openmpt_sources
  libopenmpt/libopenmpt_c.cpp libopenmpt/libopenmpt_cxx.cpp
  libopenmpt/libopenmpt_ext_impl.cpp libopenmpt/libopenmpt_impl.cpp)
foreach(line ${openmpt_lines})
  string(REGEX REPLACE "^[A-Z_]+ \\+= " "" file "${line}")
  list(APPEND openmpt_sources "${file}")
endforeach()
list(TRANSFORM openmpt_sources PREPEND "${OPENMPT_SOURCE_DIR}/")

add_library(openmpt STATIC ${openmpt_sources})
target_compile_features(openmpt PUBLIC cxx_std_17)
target_compile_definitions(openmpt PRIVATE LIBOPENMPT_BUILD)
target_compile_options(openmpt PRIVATE -Os -w)
target_include_directories(openmpt PRIVATE
  "${OPENMPT_SOURCE_DIR}" "${OPENMPT_SOURCE_DIR}/src" "${OPENMPT_SOURCE_DIR}/common"
  "${OPENMPT_SOURCE_DIR}/build/svn_version")
# The show includes <libopenmpt/libopenmpt.hpp>.
target_include_directories(openmpt SYSTEM INTERFACE "${OPENMPT_SOURCE_DIR}")
