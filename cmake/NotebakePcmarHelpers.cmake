# Build-time conversion of sound sources with notebake and pcmar.
#
# Each source is copied into the build tree and converted there, so the
# outputs (<name>.s) never land beside the sources. Each output depends on
# its own source and on the tool, so an edited file is converted again and
# nothing else is.

# Converts each file of the list SOURCES with TOOL (an imported target)
# and OPTIONS, each copied into OUT_DIR and converted there. Sets OUT_VAR to
# the list of assembler files that will be produced.
function(_notebake_pcmar_convert OUT_VAR OUT_DIR TOOL SOURCES)
  set(outputs "")
  foreach(source IN LISTS SOURCES)
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" OUTPUT_VARIABLE source_path)
    cmake_path(GET source_path FILENAME file_name)
    cmake_path(GET source_path STEM LAST_ONLY stem)
    set(output "${OUT_DIR}/${stem}.s")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${OUT_DIR}"
      COMMAND "${CMAKE_COMMAND}" -E copy "${source_path}" "${OUT_DIR}/${file_name}"
      COMMAND "$<TARGET_FILE:${TOOL}>" ${ARGN} "${file_name}"
      WORKING_DIRECTORY "${OUT_DIR}"
      DEPENDS "${source_path}" ${TOOL}
      COMMENT "Converting ${file_name}"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()
  set(${OUT_VAR} "${outputs}" PARENT_SCOPE)
endfunction()

# notebake_add_sequences(<out-var> [OUTPUT_DIR <dir>] <file.mid>...)
# Converts each MIDI file; <out-var> receives the list of .s files.
function(notebake_add_sequences OUT_VAR)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_DIR" "")
  if(NOT arg_OUTPUT_DIR)
    set(arg_OUTPUT_DIR "${CMAKE_CURRENT_BINARY_DIR}/sequences")
  endif()
  _notebake_pcmar_convert(outputs "${arg_OUTPUT_DIR}" NotebakePcmar::notebake "${arg_UNPARSED_ARGUMENTS}")
  set(${OUT_VAR} "${outputs}" PARENT_SCOPE)
endfunction()

# pcmar_add_samples(<out-var> [RATE_INDEX <0-3>] [LOOP <frames>]
#                   [OUTPUT_DIR <dir>] <file.wav>...)
# Converts each WAV file with the given options; <out-var> receives the
# list of .s files.
function(pcmar_add_samples OUT_VAR)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RATE_INDEX;LOOP;OUTPUT_DIR" "")
  if(NOT arg_OUTPUT_DIR)
    set(arg_OUTPUT_DIR "${CMAKE_CURRENT_BINARY_DIR}/samples")
  endif()
  set(options "")
  if(DEFINED arg_RATE_INDEX)
    if(NOT arg_RATE_INDEX MATCHES "^[0-3]$")
      message(FATAL_ERROR "pcmar_add_samples: RATE_INDEX must be 0, 1, 2 or 3, not '${arg_RATE_INDEX}'")
    endif()
    list(APPEND options "-f${arg_RATE_INDEX}")
  endif()
  if(DEFINED arg_LOOP)
    if(NOT arg_LOOP MATCHES "^-?[0-9]+$")
      message(FATAL_ERROR "pcmar_add_samples: LOOP must be a whole number, not '${arg_LOOP}'")
    endif()
    list(APPEND options "-l${arg_LOOP}")
  endif()
  _notebake_pcmar_convert(outputs "${arg_OUTPUT_DIR}" NotebakePcmar::pcmar "${arg_UNPARSED_ARGUMENTS}" ${options})
  set(${OUT_VAR} "${outputs}" PARENT_SCOPE)
endfunction()
