// The sanitizers' defaults for every fuzz target, read when the program starts. A target runs millions of inputs,
// each making many small objects: filling each new block with a pattern and recording thirty frames of its
// allocating stack cost more than most inputs' own work. Eight frames still name the allocating code in a report.
extern "C" const char* __asan_default_options() { return "max_malloc_fill_size=0:malloc_context_size=8"; }
