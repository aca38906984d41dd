# The show's pictures, image/pictures/<name>.jpg, compiled in as byte arrays
# (declared in image/pictures.h as <name>jpg and <name>jpglen).
#
# Included from the top CMakeLists.txt, this file sets PICTURES_SOURCE to
# ${CMAKE_BINARY_DIR}/pictures.cpp and adds the rule that writes it. The rule
# runs this same file as a script (cmake -P) with PICTURES_DIR and OUTPUT
# set; it is rerun whenever a picture or this file changes.

set(PICTURE_NAMES hamster bag noise bottle snapshot glow)

# Sets `result` to the number of colour components in the frame header (SOF
# marker) of the JPEG file whose bytes `hex` holds, two hex digits a byte;
# 0 when there is no frame header.
function(jpeg_components hex result)
  string(LENGTH "${hex}" digits)
  set(at 4)   # past the start-of-image marker
  while(at LESS digits)
    string(SUBSTRING "${hex}" ${at} 4 marker)
    if(NOT marker MATCHES "^ff")
      break()
    endif()
    # Frame headers are c0-cf but for c4 (Huffman tables), c8 and cc: the
    # marker, its length, precision, height and width, then the count.
    if(marker MATCHES "^ffc[0-35-79a-bd-f]$")
      math(EXPR at "${at} + 18")
      string(SUBSTRING "${hex}" ${at} 2 count)
      math(EXPR count "0x${count}")
      set(${result} ${count} PARENT_SCOPE)
      return()
    endif()
    math(EXPR at "${at} + 4")
    string(SUBSTRING "${hex}" ${at} 4 length)
    math(EXPR at "${at} + 2 * 0x${length}")
  endwhile()
  set(${result} 0 PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  set(text "// Generated from ${PICTURES_DIR} by cmake/pictures.cmake.\n")
  string(APPEND text "#include \"image/pictures.h\"\n")
  foreach(name IN LISTS PICTURE_NAMES)
    file(READ "${PICTURES_DIR}/${name}.jpg" hex HEX)
    string(LENGTH "${hex}" digits)
    if(digits EQUAL 0)
      message(FATAL_ERROR "${PICTURES_DIR}/${name}.jpg is empty")
    endif()
    # Textures are uploaded as RGB, 3 bytes a pixel: a greyscale or CMYK
    # picture would have them read past its decoded pixels.
    jpeg_components("${hex}" components)
    if(NOT components EQUAL 3)
      message(FATAL_ERROR "${PICTURES_DIR}/${name}.jpg has ${components} colour components; "
                          "the show's pictures must be colour JPEGs with 3 (save it as RGB)")
    endif()
    # Two hex digits per byte, 16 bytes to a line.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REPEAT "0x..," 16 line)
    string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
    string(APPEND text "\nconst unsigned char ${name}jpg[] = {\n    ${bytes}\n};\n")
    string(APPEND text "const int ${name}jpglen = sizeof ${name}jpg;\n")
  endforeach()
  # Written beside the target and renamed, so an interrupted run never
  # leaves a half-written source behind.
  file(WRITE "${OUTPUT}.part" "${text}")
  file(RENAME "${OUTPUT}.part" "${OUTPUT}")
  return()
endif()

get_filename_component(PICTURES_DIR "${CMAKE_CURRENT_LIST_DIR}/../image/pictures" ABSOLUTE)
set(PICTURES_SOURCE "${CMAKE_BINARY_DIR}/pictures.cpp")
set(picture_files)
foreach(name IN LISTS PICTURE_NAMES)
  list(APPEND picture_files "${PICTURES_DIR}/${name}.jpg")
endforeach()
add_custom_command(
  OUTPUT "${PICTURES_SOURCE}"
  COMMAND "${CMAKE_COMMAND}" "-DPICTURES_DIR=${PICTURES_DIR}"
          "-DOUTPUT=${PICTURES_SOURCE}" -P "${CMAKE_CURRENT_LIST_FILE}"
  DEPENDS ${picture_files} "${CMAKE_CURRENT_LIST_FILE}"
  COMMENT "Embedding the pictures"
  VERBATIM)
