#pragma once

// Start-up: opens the database, makes patient "1" current, makes sure
// DATA/pic_save exists and shows the start window. False when the database
// cannot be used (a file that cannot be read: "データベースを開けませんでした。"
// and its path; a server that cannot be reached): the program then says so
// and ends without having touched anything.
bool Main();
