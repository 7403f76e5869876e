@echo off
rem Installs boardinfo.sys, the DMI access driver through which KCCSystemInfo reads the firmware's SMBIOS
rem table: copies it where Windows keeps drivers, makes it a kernel-driver service that starts with Windows,
rem starts it, and names it where KCCSystemInfo looks for it. Run it as an administrator; running it again
rem changes nothing. remove-driver.cmd undoes exactly what it did.
rem Only 32-bit Windows XP needs it: every later Windows hands KCCSystemInfo the firmware table itself, and
rem then this changes nothing unless run as "install-driver.cmd /force" (for a test-signed or
rem Microsoft-signed driver).
setlocal
set "here=%~dp0"
set "me=install-driver"
set "force="
if /i "%~1"=="/force" set "force=1"
if defined force goto admin
"%here%driver\hastable.exe"
if errorlevel 1 goto admin
echo %me%: nothing to install: this Windows gives KCCSystemInfo the firmware table itself, so it needs no driver. Nothing was changed.
exit /b 0

:admin
set "svckey=HKLM\SYSTEM\CurrentControlSet\Services\boardinfo"
set "vendor=HKLM\SOFTWARE\Varnel Corporation"
set "shared=%vendor%\Shared Info"
set "services=%shared%\Shared Services"

rem The token's groups decide, as for KCCSystemInfo /haltAll.
"%here%driver\isadmin.exe"
if errorlevel 2 goto cannot_tell
if errorlevel 1 goto not_admin

rem The build for the running Windows: a 32-bit command prompt on 64-bit Windows reports x86 in
rem PROCESSOR_ARCHITECTURE and the real one in PROCESSOR_ARCHITEW6432, and sees System32 through Sysnative.
set "arch=%PROCESSOR_ARCHITECTURE%"
if defined PROCESSOR_ARCHITEW6432 set "arch=%PROCESSOR_ARCHITEW6432%"
set "system=%SystemRoot%\System32"
if defined PROCESSOR_ARCHITEW6432 set "system=%SystemRoot%\Sysnative"
set "build="
if /i "%arch%"=="x86" set "build=x86"
if /i "%arch%"=="AMD64" set "build=x64"
if not defined build goto unsupported
rem KCCSystemInfo is a 32-bit program: on 64-bit Windows it reads the 32-bit view of HKLM\SOFTWARE.
set "view="
if "%build%"=="x64" set "view=/reg:32"
set "source=%here%driver\%build%\boardinfo.sys"
set "target=%system%\drivers\boardinfo.sys"
set "imagepath=%SystemRoot%\System32\drivers\boardinfo.sys"
if not exist "%source%" goto no_source

rem Someone else's driver: a location value naming another driver, a boardinfo service or file that
rem this script did not install. Then nothing is changed. (Only "if errorlevel" tests results here:
rem wine's cmd runs both sides of && and ||.)
call :read "%services%" boardinfo current
if defined current if /i not "%current%"=="boardinfo" goto other_location
set "vxd="
if not defined current call :read "%shared%\Shared VxDs" boardinfo.vxd vxd
if defined vxd goto other_vxd
set "ours="
reg query "%svckey%" /v InstalledBy >nul 2>&1
if not errorlevel 1 set "ours=1"
if defined ours goto copy
reg query "%svckey%" >nul 2>&1
if not errorlevel 1 goto other_service
if exist "%target%" goto other_file

rem The driver file; one installed before is replaced (a newer zip), with its service stopped meanwhile.
:copy
if defined ours sc stop boardinfo >nul 2>&1
copy /y "%source%" "%target%" >nul
if errorlevel 1 goto copy_failed

rem The service, which starts with Windows (start type automatic).
if defined ours goto location
sc create boardinfo type= kernel start= auto error= normal binPath= "%imagepath%" DisplayName= "boardinfo DMI access" >nul
if errorlevel 1 goto create_failed
reg add "%svckey%" /v InstalledBy /d "KCCSystemInfo install-driver.cmd" /f >nul

rem The driver location, and what remove-driver.cmd must take away with it: the value, and the
rem topmost key this script made for it.
:location
if defined current goto start
call :created_key
reg add "%services%" /v boardinfo /d boardinfo /f %view% >nul
if errorlevel 1 goto location_failed
reg add "%svckey%" /v WroteLocation /t REG_DWORD /d 1 /f >nul
if defined created reg add "%svckey%" /v CreatedKey /d "%created%" /f >nul

:start
rem A service manager that is still starting (right after Windows or a new wine prefix starts) refuses for
rem a moment: five tries, a second apart, before the start counts as failed.
set "tries=x"
:start_again
sc start boardinfo >"%TEMP%\kcc-sc-start.txt" 2>&1
if errorlevel 1 call :already_running
if not errorlevel 1 goto started
if "%tries%"=="xxxxx" goto start_failed
set "tries=%tries%x"
ping -n 2 127.0.0.1 >nul 2>&1
goto start_again
:started
del "%TEMP%\kcc-sc-start.txt" >nul 2>&1
echo %me%: the boardinfo driver (%build%) is installed and running.
exit /b 0

rem :read KEY VALUE VARIABLE sets VARIABLE to the string value, or clears it.
:read
set "%~3="
for /f "tokens=1,2,*" %%a in ('reg query "%~1" /v "%~2" %view% 2^>nul ^| find "REG_"') do set "%~3=%%c"
goto :eof

rem :already_running sets errorlevel 0 when the failed start said 1056 (the driver runs already).
:already_running
find "1056" "%TEMP%\kcc-sc-start.txt" >nul
goto :eof

rem :created_key sets "created" to the topmost key of the location path that does not exist yet.
:created_key
set "created="
reg query "%vendor%" %view% >nul 2>&1
if errorlevel 1 set "created=%vendor%"
if defined created goto :eof
reg query "%shared%" %view% >nul 2>&1
if errorlevel 1 set "created=%shared%"
if defined created goto :eof
reg query "%services%" %view% >nul 2>&1
if errorlevel 1 set "created=%services%"
goto :eof

:cannot_tell
echo %me%: cannot tell whether this runs as an administrator; nothing was changed. 1>&2
exit /b 1
:not_admin
echo %me%: installing a driver needs administrator rights. Run this from a command prompt started with "Run as administrator"; nothing was changed. 1>&2
exit /b 1
:unsupported
echo %me%: there is no boardinfo driver for %arch% Windows; nothing was changed. 1>&2
exit /b 1
:no_source
echo %me%: %source% is missing; unpack the whole zip and run this from its folder. Nothing was changed. 1>&2
exit /b 1
:other_location
echo %me%: the driver location already names another driver ("%current%"), probably the maker's own; KCCSystemInfo uses that one. Nothing was changed. 1>&2
exit /b 1
:other_vxd
echo %me%: the driver location already names another driver ("%vxd%"), probably the maker's own; KCCSystemInfo uses that one. Nothing was changed. 1>&2
exit /b 1
:other_service
echo %me%: a boardinfo service that this script did not install exists, probably the maker's own driver. Nothing was changed. 1>&2
exit /b 1
:other_file
echo %me%: %target% exists and was not installed by this script. Nothing was changed. 1>&2
exit /b 1
:copy_failed
echo %me%: cannot copy the driver to %target%. 1>&2
exit /b 1
:create_failed
del "%target%" >nul 2>&1
echo %me%: cannot create the boardinfo service; nothing was changed. 1>&2
exit /b 1
:location_failed
echo %me%: cannot write the driver location under %services%. 1>&2
exit /b 1
:start_failed
rem sc says why: its FAILED line carries the error number and Windows' words for it.
type "%TEMP%\kcc-sc-start.txt" 1>&2
set "signing="
find "577" "%TEMP%\kcc-sc-start.txt" >nul
if not errorlevel 1 set "signing=1"
find "1275" "%TEMP%\kcc-sc-start.txt" >nul
if not errorlevel 1 set "signing=1"
del "%TEMP%\kcc-sc-start.txt" >nul 2>&1
if defined signing echo %me%: the boardinfo driver is installed but Windows refused to load it: it is not signed the way this Windows requires (see README.txt). 1>&2
if not defined signing echo %me%: the boardinfo driver is installed but did not start, for the reason sc gives above. 1>&2
exit /b 1
