#pragma once

// Start-up: opens the database, makes patient "1" current, makes sure
// DATA/pic_save exists and shows the start window. False when the database
// server named in the settings cannot be reached: the program then says so
// and ends without having touched anything.
bool Main();
