#pragma once
// Word that the console's cursor has moved behind the print path's back (zix
// was stopped and continued, and the shell wrote meanwhile). A platform layer
// raises it, from a signal handler too; the print path takes it at its next
// print and asks the device for the cursor column again. It sits below both,
// so that the platform layer never calls up into the print path.

// Raises the word. Safe to call from a signal handler.
void console_moved_raise();
// True once after each raise: clears the word when it was raised.
bool console_moved_take();
// Clears the word.
void console_moved_clear();
