# Makes the Debian package of a build with cpack into a scratch folder, checks
# what it holds and its control fields, runs lintian on it when lintian is
# installed, and runs the programs from the unpacked tree without a display:
# the packaged runner against the libmodbus slave (RTU_SLAVE), reading a slot;
# the packaged device serving its example map to one request.
#   CPACK: cpack   BUILD_DIR: the build tree   WORK_DIR: scratch folder, emptied first
#   VERSION: the project's version   APP_ID: the application id
#   RTU_SLAVE: the tests' libmodbus slave (tests/peers)

function(fail what)
  message(FATAL_ERROR "deb package: ${what}")
endfunction()

# Runs the command, fails on a non-zero status, and sets <out> to its output.
function(run out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    string(JOIN " " command ${ARGN})
    fail("${command} failed (${result}):\n${output}${errors}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

find_program(dpkg_deb dpkg-deb)
find_program(dpkg dpkg)
if(NOT dpkg_deb OR NOT dpkg)
  message("deb package: skipped, dpkg-deb is missing (not a Debian system)")
  return()
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# The dependencies on libraries come from dpkg-shlibdeps (dpkg-dev), which
# reads the binaries' types with file; without them only the rest is checked.
set(shlibdeps ON)
find_program(dpkg_shlibdeps dpkg-shlibdeps)
find_program(file_program file)
if(NOT dpkg_shlibdeps OR NOT file_program)
  set(shlibdeps OFF)
  message("deb package: dpkg-shlibdeps or file missing (scripts/deps.sh --package): "
          "the dependencies on libraries are not checked")
endif()
run(output "${CPACK}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}"
    -D CPACK_DEBIAN_PACKAGE_SHLIBDEPS=${shlibdeps})

run(arch "${dpkg}" --print-architecture)
string(STRIP "${arch}" arch)
set(deb "${WORK_DIR}/tallowick_${VERSION}_${arch}.deb")
if(NOT EXISTS "${deb}")
  file(GLOB made "${WORK_DIR}/*.deb")
  fail("no ${deb}; cpack made: ${made}")
endif()

# The files, each with its mode and owner; the folders are left out.
set(expected
  "-rwxr-xr-x root/root ./usr/bin/tallowick"
  "-rwxr-xr-x root/root ./usr/bin/tallowick-run"
  "-rwxr-xr-x root/root ./usr/bin/tallowick-monitor"
  "-rw-r--r-- root/root ./usr/share/applications/${APP_ID}.desktop"
  "-rw-r--r-- root/root ./usr/share/doc/tallowick/changelog.gz"
  "-rw-r--r-- root/root ./usr/share/doc/tallowick/copyright")
foreach(size 128 16 32 48 64)
  list(APPEND expected
    "-rw-r--r-- root/root ./usr/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png")
endforeach()
list(APPEND expected
  "-rwxr-xr-x root/root ./usr/bin/tallowick-device"
  "-rw-r--r-- root/root ./usr/share/man/man1/tallowick-device.1.gz"
  "-rw-r--r-- root/root ./usr/share/doc/tallowick/examples/pump.csv"
  "-rw-r--r-- root/root ./usr/share/lintian/overrides/tallowick"
  "-rw-r--r-- root/root ./usr/share/man/man1/tallowick-run.1.gz"
  "-rw-r--r-- root/root ./usr/share/man/man1/tallowick-monitor.1.gz"
  "-rw-r--r-- root/root ./usr/share/man/man1/tallowick.1.gz"
  "-rw-r--r-- root/root ./usr/share/metainfo/${APP_ID}.metainfo.xml")
run(listing "${dpkg_deb}" -c "${deb}")
string(REPLACE "\n" ";" lines "${listing}")
set(files)
set(folders)
foreach(line IN LISTS lines)
  if(line MATCHES "^(d[rwx-]+) ([^ ]+) .* (\\./[^ ]*)$")
    if(NOT CMAKE_MATCH_1 STREQUAL "drwxr-xr-x" OR NOT CMAKE_MATCH_2 STREQUAL "root/root")
      fail("the folder ${CMAKE_MATCH_3} is ${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
    endif()
  elseif(line MATCHES "^([^ ]+) ([^ ]+) .* (\\./[^ ]*)$")
    list(APPEND files "${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3}")
  elseif(NOT line STREQUAL "")
    fail("unexpected line of dpkg-deb -c: ${line}")
  endif()
endforeach()
list(SORT files)
list(SORT expected)
if(NOT files STREQUAL expected)
  string(REPLACE ";" "\n  " files "${files}")
  string(REPLACE ";" "\n  " expected "${expected}")
  fail("the package holds\n  ${files}\nand should hold\n  ${expected}")
endif()

run(control "${dpkg_deb}" -f "${deb}" Package Version Architecture Depends)
set(depends_pattern "Depends: .*fonts-noto-cjk, qt6-qpa-plugins")
if(shlibdeps)
  string(APPEND depends_pattern ".*libqt6widgets6.*")
endif()
if(NOT control MATCHES "^Package: tallowick\nVersion: ${VERSION}\nArchitecture: ${arch}\n"
   OR NOT control MATCHES "${depends_pattern}")
  fail("the control fields are\n${control}")
endif()

# Both programs from the unpacked tree, without a display: --version, and
# the slot folder of the packaged window, in the configuration home.
set(root "${WORK_DIR}/root")
run(output "${dpkg_deb}" -x "${deb}" "${root}")
set(no_display "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
    --unset=QT_QPA_PLATFORM)
foreach(program tallowick tallowick-run tallowick-monitor tallowick-device)
  run(output ${no_display} "${root}/usr/bin/${program}" --version)
  if(NOT output STREQUAL "${program} ${VERSION}\n")
    fail("${program} --version says: ${output}")
  endif()
  if(file_program)
    run(type "${file_program}" -b "${root}/usr/bin/${program}")
    if(NOT type MATCHES "ELF" OR type MATCHES "not stripped")
      fail("${program} is not a stripped program: ${type}")
    endif()
  endif()
endforeach()
run(output ${no_display} "XDG_CONFIG_HOME=${WORK_DIR}/config" "${root}/usr/bin/tallowick" --help)
if(NOT output MATCHES "\nConfiguration slots \\(config1.ini ... config5.ini\\): ${WORK_DIR}/config/tallowick\n")
  fail("tallowick --help names another slot folder:\n${output}")
endif()

# The packaged runner looks a bare slot name up in the same folder: it says so,
# and reads config1 from there (the window's name for its first slot), sent to
# the libmodbus slave on loopback, whose port only the slot file gives.
run(output ${no_display} "XDG_CONFIG_HOME=${WORK_DIR}/config" "${root}/usr/bin/tallowick-run" --help)
if(NOT output MATCHES "looked up in the slot folder, ${WORK_DIR}/config/tallowick\\.\n")
  fail("tallowick-run --help names another slot folder:\n${output}")
endif()
if(RTU_SLAVE)
  execute_process(COMMAND ${no_display} bash -c [=[
      coproc slave { exec "$1" tcp; }
      read -r _ port <&"${slave[0]}"
      mkdir -p "$2/tallowick"
      printf '[SETTINGS]\r\nIP=127.0.0.1\r\nPORT=%s\r\nTIMEOUT=5000\r\nSEND_CNT=1\r\nCMD0=010300000001\r\n' \
        "$port" > "$2/tallowick/config1.ini"
      echo "PORT $port"
      # Not the last command, which bash would exec: that closes the slave's
      # input, and the slave ends with it.
      XDG_CONFIG_HOME="$2" "$3" --send 1 config1
      exit $?]=]
    bash "${RTU_SLAVE}" "${WORK_DIR}/config" "${root}/usr/bin/tallowick-run"
    WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE result OUTPUT_VARIABLE output
    ERROR_VARIABLE errors)
  set(port none)
  if(output MATCHES "^PORT ([0-9]+)\n")
    set(port ${CMAKE_MATCH_1})
  endif()
  if(NOT result EQUAL 0 OR NOT output MATCHES "IP:127\\.0\\.0\\.1:${port}\n"
     OR NOT output MATCHES "接收 < 0103020005 7847\n")
    fail("tallowick-run config1 did not read the slot (${result}):\n${output}${errors}")
  endif()
endif()

# The packaged device loads the example map it ships and answers one Modbus
# TCP request from it on loopback: holding registers 10 and 11, the float 1.5
# in the order ABCD, 3FC0 0000. The port is the one the system chose, from the
# line it writes once it listens.
execute_process(COMMAND ${no_display} bash -c [=[
    coproc device { exec "$1" --mbap 127.0.0.1:0 --requests 1 "$2" 2>&1; }
    # bash forgets a coprocess's descriptor and id once it has ended.
    exec 4<&"${device[0]}"
    pid=$device_PID
    port=
    while read -r -t 10 line <&4; do
      echo "$line"
      if [[ $line =~ mbap\ 127\.0\.0\.1:([0-9]+) ]]; then port=${BASH_REMATCH[1]}; break; fi
    done
    [ -n "$port" ] || exit 10
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf '\x00\x01\x00\x00\x00\x06\x01\x03\x00\x0a\x00\x02' >&3
    echo "REPLY $(timeout 10 head -c 13 <&3 | od -An -tx1 | tr -d ' \n')"
    exec 3<&-
    timeout 10 cat <&4
    wait "$pid"
    exit $?]=]
  bash "${root}/usr/bin/tallowick-device" "${root}/usr/share/doc/tallowick/examples/pump.csv"
  WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE result OUTPUT_VARIABLE output
  ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT output MATCHES "\nREPLY 0001000000070103043fc00000\n")
  fail("tallowick-device did not serve its example map (${result}):\n${output}${errors}")
endif()

find_program(lintian lintian)
if(lintian)
  # Errors and warnings fail; what is overridden (each with its reason in
  # packaging/lintian-overrides) and the informational tags do not.
  run(output "${lintian}" --fail-on error,warning "${deb}")
  message("lintian:\n${output}")
else()
  message("deb package: lintian is missing (scripts/deps.sh --package): not run")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
