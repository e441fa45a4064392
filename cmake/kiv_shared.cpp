// The shared library is made of the folder libraries, linked whole.
