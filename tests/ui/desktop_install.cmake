# Installs the build into a fresh prefix, as `cmake --install` does for a
# user, and checks what the desktop needs: the program in a folder of its own,
# a launcher link, the icons in the hicolor sizes, the manual pages and a
# valid desktop entry that starts the installed program.
#   BUILD_DIR: the build tree   PREFIX: a scratch prefix, emptied first

function(fail what)
  message(FATAL_ERROR "desktop install: ${what}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  fail("cmake --install failed:\n${output}")
endif()

set(program "${PREFIX}/opt/tallowick/tallowick")
if(NOT EXISTS "${program}" OR IS_DIRECTORY "${program}")
  fail("no program at ${program}")
endif()
file(GLOB beside RELATIVE "${PREFIX}/opt/tallowick" "${PREFIX}/opt/tallowick/*")
if(NOT beside STREQUAL "tallowick;tallowick-device;tallowick-monitor;tallowick-run")
  fail("the program's folder holds more than the four programs: ${beside}")
endif()

foreach(name tallowick tallowick-run tallowick-monitor tallowick-device)
  set(launcher "${PREFIX}/bin/${name}")
  if(NOT IS_SYMLINK "${launcher}")
    fail("no launcher link at ${launcher}")
  endif()
  file(REAL_PATH "${launcher}" launched)
  file(REAL_PATH "${PREFIX}/opt/tallowick/${name}" real_program)
  if(NOT launched STREQUAL real_program)
    fail("the launcher ${launcher} leads to ${launched}")
  endif()
endforeach()

foreach(size 16 32 48 64 128)
  set(icon "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/tallowick.png")
  if(NOT EXISTS "${icon}")
    fail("no icon ${icon}")
  endif()
  # The PNG signature, then the IHDR chunk with width and height.
  file(READ "${icon}" header LIMIT 24 HEX)
  math(EXPR expected_size "${size}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${expected_size}" 2 -1 digits)
  string(LENGTH "${digits}" length)
  math(EXPR pad "8 - ${length}")
  string(REPEAT "0" ${pad} zeros)
  string(TOLOWER "${zeros}${digits}" dimension)
  if(NOT header STREQUAL "89504e470d0a1a0a0000000d49484452${dimension}${dimension}")
    fail("${icon} is not a ${size} x ${size} PNG image")
  endif()
endforeach()

# The manual pages, compressed as the package has them, each naming the other
# programs under SEE ALSO.
set(programs tallowick tallowick-run tallowick-monitor tallowick-device)
foreach(name IN LISTS programs)
  set(page "${PREFIX}/share/man/man1/${name}.1.gz")
  execute_process(COMMAND gzip -dc "${page}" RESULT_VARIABLE result OUTPUT_VARIABLE text
                  ERROR_VARIABLE text)
  if(NOT result EQUAL 0)
    fail("no manual page ${page}: ${text}")
  endif()
  if(NOT text MATCHES "\n\\.SH SEE ALSO\n(.*)")
    fail("${page} has no SEE ALSO")
  endif()
  set(see_also "${CMAKE_MATCH_1}")
  foreach(other IN LISTS programs)
    string(REPLACE "-" "\\\\-" other_roff "${other}")
    if(NOT other STREQUAL name AND NOT see_also MATCHES "\\.BR ${other_roff} \\(1\\)")
      fail("${page} does not name ${other}(1) under SEE ALSO:\n${see_also}")
    endif()
  endforeach()
endforeach()

# The device's example map, where its manual page sends the reader.
if(NOT EXISTS "${PREFIX}/share/doc/tallowick/examples/pump.csv")
  fail("no example map in ${PREFIX}/share/doc/tallowick/examples")
endif()

set(entry "${PREFIX}/share/applications/tallowick.desktop")
if(NOT EXISTS "${entry}")
  fail("no desktop entry at ${entry}")
endif()
file(STRINGS "${entry}" lines)
foreach(line "[Desktop Entry]" "Type=Application" "Name=Tallowick" "Exec=\"${program}\""
             "Icon=tallowick" "StartupWMClass=Tallowick")
  list(FIND lines "${line}" found)
  if(found EQUAL -1)
    fail("the desktop entry lacks the line ${line}")
  endif()
endforeach()

find_program(validate desktop-file-validate)
if(validate)
  execute_process(COMMAND "${validate}" "${entry}" RESULT_VARIABLE result
                  OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    fail("desktop-file-validate:\n${output}")
  endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
