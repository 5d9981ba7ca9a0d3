# The fuzz harnesses, written down once for both builds of fuzz/CMakeLists.txt:
# the libFuzzer one and the seed replay of the test suite.
#
# tallowick_harness(<name> [AUTOMOC] SOURCES <files under src/>
#                   [HELPERS <files, relative to fuzz/>] [INCLUDES <folders, relative to fuzz/>]
#                   [LIBRARIES <targets beyond QtCore>])
# adds <name> to tallowick_harnesses, for fuzz_<name>.cpp with seeds in
# corpus/<name>/, and sets tallowick_harness_<name>_SOURCES, _HELPERS,
# _INCLUDES, _LIBRARIES and _AUTOMOC (for sources with QObject classes).
# SOURCES are exactly the sources the harness exercises: nothing else of the
# program is linked.
set(tallowick_harnesses)
macro(tallowick_harness name)
  cmake_parse_arguments(tallowick_harness_${name} "AUTOMOC" ""
                        "SOURCES;HELPERS;INCLUDES;LIBRARIES" ${ARGN})
  list(APPEND tallowick_harnesses ${name})
endmacro()

tallowick_harness(command_text SOURCES engine/command_text.cpp replies/frame_text.cpp)
tallowick_harness(numeric_value SOURCES engine/numeric_value.cpp engine/send_checks.cpp)
tallowick_harness(serial_settings SOURCES links/serial_settings.cpp LIBRARIES Qt6::SerialPort)
tallowick_harness(frame_decoder SOURCES decoder/frame_decoder.cpp)
tallowick_harness(reply_check SOURCES replies/reply_check.cpp replies/frame_text.cpp
                  engine/command_text.cpp)
set(tallowick_config_format_sources
  config/ini_profile.cpp config/config_format.cpp config/code_page.cpp)
tallowick_harness(ini_reader SOURCES ${tallowick_config_format_sources}
                  HELPERS iconv_reuse.cpp LIBRARIES ${CMAKE_DL_LIBS})
tallowick_harness(config_roundtrip SOURCES ${tallowick_config_format_sources}
                  HELPERS iconv_reuse.cpp LIBRARIES ${CMAKE_DL_LIBS})
# The exchange engine on the fake links and the manual clock of the tests; the
# dialog seam needs the widget library, which shows nothing here.
tallowick_harness(exchange_engine AUTOMOC
  SOURCES engine/exchange_engine.cpp engine/exchange_repeat.cpp engine/command_text.cpp
          engine/numeric_value.cpp engine/send_checks.cpp engine/one_shot_timer.cpp
          links/link.cpp links/serial_settings.cpp replies/reply_check.cpp
          replies/frame_text.cpp ui/dialogs.cpp
  HELPERS ../tests/support/fake_link.cpp ../tests/support/manual_clock.cpp
  INCLUDES ../tests
  LIBRARIES Qt6::Widgets Qt6::SerialPort)
