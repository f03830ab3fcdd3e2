@echo off
rem Updates every QUORVANEX attached to this PC at once, with the image files in this folder,
rem and appends a record of each unit to records.jsonl. quorvanex-cli names every unit that was
rem not updated; the exit code is 0 when every unit is done (see the operator guide for the others).
rem Started with a double click it works in its own folder, and it waits for a key at the end,
rem so that what it printed can be read before the window closes.
cd /d "%~dp0"
quorvanex-cli update --all --record records.jsonl
echo Exit code %errorlevel%
pause
