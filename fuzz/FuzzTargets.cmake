# The fuzz targets: each one's source and libraries. Read by fuzz/CMakeLists.txt,
# which builds them for libFuzzer, and by tests/robustness, which replays their
# corpora in the normal test suite. A target's corpus is fuzz/corpus/<target>/.
set(CORVANE_FUZZ_TARGETS hex_records effect_lines var_replies engine_replies script_dispatch update_plan svf_convert bundle_reader)

set(CORVANE_FUZZ_SOURCE_hex_records HexRecords_fuzz.cpp)
set(CORVANE_FUZZ_LIBS_hex_records engines)

set(CORVANE_FUZZ_SOURCE_effect_lines EffectLines_fuzz.cpp)
set(CORVANE_FUZZ_LIBS_effect_lines jtag)

set(CORVANE_FUZZ_SOURCE_var_replies VarReplies_fuzz.cpp)
set(CORVANE_FUZZ_LIBS_var_replies link)

set(CORVANE_FUZZ_SOURCE_engine_replies EngineReplies_fuzz.cpp)
set(CORVANE_FUZZ_LIBS_engine_replies jtag enginehost)

set(CORVANE_FUZZ_SOURCE_script_dispatch ScriptDispatch_fuzz.cpp)
set(CORVANE_FUZZ_LIBS_script_dispatch session)

set(CORVANE_FUZZ_SOURCE_update_plan UpdatePlan_fuzz.cpp)
set(CORVANE_FUZZ_LIBS_update_plan session)

set(CORVANE_FUZZ_SOURCE_svf_convert SvfConvert_fuzz.cpp)
set(CORVANE_FUZZ_LIBS_svf_convert jtag)

# Packs the entries of its structured inputs itself.
find_package(LibArchive REQUIRED)
set(CORVANE_FUZZ_SOURCE_bundle_reader BundleReader_fuzz.cpp)
set(CORVANE_FUZZ_LIBS_bundle_reader bundle LibArchive::LibArchive)
