# cmake -DIN=README.md -DOUT=<file> -P installed_readme.cmake
# The README as installed: the documents lie beside it there, so its links
# into docs/ (the picture of the HTML report too) point beside it.
file(READ ${IN} text)
string(REPLACE "](docs/" "](" text "${text}")
string(REPLACE "[docs/" "[" text "${text}")
file(WRITE ${OUT} "${text}")
