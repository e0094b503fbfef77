// Reversible scrambling of the PIN and the dial-up login as stored in "mavlyn.ini", so that
// a casual reader of the file does not see them.
#pragma once

// Plain zd to stored ze ("CRYPT1" and two characters per byte; empty stays empty).
// ze must hold 6 + 2 * strlen(zd) + 1 characters.
void ob_obfuscate(const char* zd, char* ze);

// Stored ze to plain zd; false when ze was plain text, which is then copied unchanged.
// zd must hold strlen(ze) + 1 characters.
bool ob_deobfuscate(const char* ze, char* zd);
