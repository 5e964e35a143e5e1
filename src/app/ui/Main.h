#pragma once

// Start-up: opens the database, makes patient "1" current, makes sure
// DATA/pic_save exists and shows the start window.
void Main();
