#pragma once

// Joins the console of the shell that started the program, for a program that the system
// starts without one (a windowed program on Windows); elsewhere this does nothing.
void attachToParentConsole();
