// Only here so that the suites' precompiled headers have a target to be
// built for (tests/CMakeLists.txt).
