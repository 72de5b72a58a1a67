// The object that GoogleTest's precompiled header is made with, for every test program
// (tests/CMakeLists.txt).
