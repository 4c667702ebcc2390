# libopenmpt for the page, compiled from its source (OPENMPT_SOURCE_DIR, as
# fetch-libopenmpt unpacks it) with the source list of its own build system, so
# the page plays with the same library version as the native programs. Built
# without its optional codecs (the songs use none) and at -Os: it is most of
# the page's code, and mixing costs little at any optimisation.
#
# The show plays XM songs only, so only the XM loader is built: the loader
# table is cut down to it in a copy of Sndfile.cpp, and the other formats'
# loaders are left out (most of them: about a third of the library's build
# time and size).
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
list(FILTER openmpt_sources EXCLUDE REGEX "^soundlib/([Ll]oad_[A-Za-z0-9_]+|Sndfile)\\.cpp$")
list(TRANSFORM openmpt_sources PREPEND "${OPENMPT_SOURCE_DIR}/")
# The XM loader, and the four that hold helpers it or the sample reader uses.
foreach(loader xm it mod ams dmf)
  list(APPEND openmpt_sources "${OPENMPT_SOURCE_DIR}/soundlib/Load_${loader}.cpp")
endforeach()

file(READ "${OPENMPT_SOURCE_DIR}/soundlib/Sndfile.cpp" sndfile)
string(REPLACE "\tMPT_DECLARE_FORMAT(XM),\n" "@XM_LOADER@" sndfile "${sndfile}")
string(REGEX REPLACE "\tMPT_DECLARE_FORMAT\\([A-Za-z0-9_]+\\),\n" "" sndfile "${sndfile}")
string(REPLACE "@XM_LOADER@" "\tMPT_DECLARE_FORMAT(XM),\n" sndfile "${sndfile}")
string(REGEX MATCHALL "MPT_DECLARE_FORMAT\\([A-Za-z0-9_]+\\)," loaders "${sndfile}")
if(NOT loaders STREQUAL "MPT_DECLARE_FORMAT(XM),")
  message(FATAL_ERROR "libopenmpt's loader table is not as expected: ${loaders}")
endif()
set(xm_only_sndfile "${CMAKE_BINARY_DIR}/openmpt/Sndfile.cpp")
file(WRITE "${xm_only_sndfile}.new" "${sndfile}")
configure_file("${xm_only_sndfile}.new" "${xm_only_sndfile}" COPYONLY)
list(APPEND openmpt_sources "${xm_only_sndfile}")
# Its includes are relative to soundlib/.
set_source_files_properties("${xm_only_sndfile}" PROPERTIES INCLUDE_DIRECTORIES "${OPENMPT_SOURCE_DIR}/soundlib")

add_library(openmpt STATIC ${openmpt_sources})
# Compiled in batches of 16 files (a third of the build time: most of it is
# libopenmpt's headers). Its effect plugins define the same names in several
# files and are compiled one by one. The test web_music checks that the result
# renders the songs bit for bit as the native library does.
set_target_properties(openmpt PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 16)
foreach(source ${openmpt_sources})
  if(source MATCHES "/soundlib/plugins/")
    set_source_files_properties("${source}" PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
endforeach()
target_compile_features(openmpt PUBLIC cxx_std_17)
target_compile_definitions(openmpt PRIVATE LIBOPENMPT_BUILD)
target_compile_options(openmpt PRIVATE -Os -w)
target_include_directories(openmpt PRIVATE
  "${OPENMPT_SOURCE_DIR}" "${OPENMPT_SOURCE_DIR}/src" "${OPENMPT_SOURCE_DIR}/common"
  "${OPENMPT_SOURCE_DIR}/build/svn_version")
# The show includes <libopenmpt/libopenmpt.hpp>.
target_include_directories(openmpt SYSTEM INTERFACE "${OPENMPT_SOURCE_DIR}")
