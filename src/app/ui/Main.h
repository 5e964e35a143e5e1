#pragma once

// Start-up: opens the database, makes patient "1" current, makes sure
// DATA/pic_save exists and shows the start window. When the database cannot
// be opened it says "データベースを開けませんでした。" with the path, touches
// nothing and returns false: the program ends.
bool Main();
