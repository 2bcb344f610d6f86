// The targets that build the tests' precompiled headers need a source file of their own; this
// one adds nothing to the header.
