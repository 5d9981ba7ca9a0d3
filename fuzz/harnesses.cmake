# The fuzz harnesses, written down once for both builds of fuzz/CMakeLists.txt:
# the libFuzzer one and the seed replay of the test suite.
#
# tallowick_harness(<name> [AUTOMOC] LIBRARIES <the program's libraries and others>
#                   [HELPERS <files, relative to fuzz/>] [INCLUDES <folders, relative to fuzz/>])
# adds <name> to tallowick_harnesses, for fuzz_<name>.cpp with seeds in
# corpus/<name>/, and sets tallowick_harness_<name>_LIBRARIES, _HELPERS,
# _INCLUDES and _AUTOMOC (for helpers with QObject classes). A harness links
# the one library of the folder it exercises; only what it calls is linked in.
set(tallowick_harnesses)
macro(tallowick_harness name)
  cmake_parse_arguments(tallowick_harness_${name} "AUTOMOC" ""
                        "HELPERS;INCLUDES;LIBRARIES" ${ARGN})
  list(APPEND tallowick_harnesses ${name})
endmacro()

tallowick_harness(command_text LIBRARIES tallowick_engine)
tallowick_harness(numeric_value LIBRARIES tallowick_engine)
tallowick_harness(serial_settings LIBRARIES tallowick_links)
tallowick_harness(frame_decoder LIBRARIES tallowick_decoder)
tallowick_harness(reply_check LIBRARIES tallowick_engine)
tallowick_harness(ini_reader LIBRARIES tallowick_config)
tallowick_harness(config_roundtrip LIBRARIES tallowick_config)
# The exchange engine on the fake links, inputs and manual clock of the test kit.
tallowick_harness(exchange_engine LIBRARIES tallowick_engine tallowick_testkit)
# The --expect patterns and the Modbus TCP reader of the headless runner.
tallowick_harness(reply_pattern LIBRARIES tallowick_frames)
tallowick_harness(mbap_reader LIBRARIES tallowick_frames)
# The bus monitor: the frame cutter and the request pairing of the monitor.
tallowick_harness(bus_monitor LIBRARIES tallowick_monitor)
# The device's map reader, its answers, its fault rules and its replay book.
tallowick_harness(device_map LIBRARIES tallowick_device)
tallowick_harness(device_answers LIBRARIES tallowick_device)
tallowick_harness(fault_rule LIBRARIES tallowick_device)
tallowick_harness(device_replay LIBRARIES tallowick_device)
# The device on any bytes of a line, an RTU stream or Modbus TCP, with and without rules.
tallowick_harness(device_requests LIBRARIES tallowick_device)
