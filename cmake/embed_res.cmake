# cmake -DIN=FILE.res -DOUT=FILE.cpp -P embed_res.cmake: the compiled resources of a module
# as data of the module, exported under the name the Windows stand-in looks for.
file(READ ${IN} bytes HEX)
string(LENGTH "${bytes}" digits)
if(digits EQUAL 0)
  message(FATAL_ERROR "${IN} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
get_filename_component(name ${IN} NAME)
# Every module and program with resources exports the same name (each is looked up in its
# own module); the section of its own keeps AddressSanitizer from registering the data as
# one global defined twice when a program with resources loads a module with resources.
file(WRITE ${OUT} "// ${name}, made by the build from the module's .rc: read by FindResourceA and\n"
  "// GetFileVersionInfoA of the Windows stand-in.\n"
  "extern \"C\" __attribute__((visibility(\"default\"), used, aligned(16), section(\".rodata.zwinres\")))\n"
  "const unsigned char zwinResourceFile[] = {\n${bytes}};\n")
