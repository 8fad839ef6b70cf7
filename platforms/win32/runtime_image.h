// The few runtime services of the freestanding image: static construction and
// destruction. Memory functions and operator new/delete are provided with the
// names the compiler expects.
#pragma once

void runStaticConstructors();
void runExitHandlers();
