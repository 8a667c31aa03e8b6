-- One phase of the Ardour host test, run by ardour7-lua (headless, dummy backend).
--   MODE=create  new session: a stereo track fed by the test signal, Tambrell after it;
--                list the parameters, set and read back SETTINGS, render, save.
--   MODE=reload  load that session (whose plug-in chunk the driver may have edited),
--                read SETTINGS back, render, save again.
-- One render per process: a second export in the same process corrupts Ardour's
-- heap now and then (seen with Ardour's own Lua plug-ins alone).
-- Environment: SESS (session folder), SNAME (session name), PLUGIN (path of the
-- Tambrell.so that must be the one loaded), SETTINGS ("index=value ..."),
-- SECS (seconds to render), PRESET (export preset id), OUT (render folder),
-- RENDER (name of the rendered file, without ".wav").
io.stdout:setvbuf ("no")

local MODE = os.getenv ("MODE") or "create"
local SESS = assert (os.getenv ("SESS"), "SESS not set")
local SNAME = os.getenv ("SNAME") or "tambrell"
local PLUGIN = os.getenv ("PLUGIN") or ""
local SECS = tonumber (os.getenv ("SECS") or "10")
local PRESET = assert (os.getenv ("PRESET"), "PRESET not set")
local OUT = os.getenv ("OUT") or (SESS .. "/renders")
local RATE = 48000
local TRACK = "Guitar"
local RENDER = os.getenv ("RENDER") or "render"

-- Ardour forks helpers and its print() buffers: write and flush ourselves so no
-- line reaches the log twice.
local function say (text)
	io.stdout:write (text, "\n")
	io.stdout:flush ()
end

local function check (ok, what)
	if not ok then error ("FAIL: " .. what, 0) end
end

local function settings ()
	local list = {}
	for index, value in string.gmatch (os.getenv ("SETTINGS") or "", "(%d+)=([-%d.eE]+)") do
		list[#list + 1] = { index = tonumber (index), value = tonumber (value) }
	end
	check (#list > 0, "no SETTINGS given")
	return list
end

-- The names the plug-in publishes, by the rule of its parameter table.
local function expected_name (i)
	if i == 0 then return "Master IN Lvl" end
	if i == 1 then return "Master OUT Lvl" end
	if i == 2 then return "EQ Enable" end
	if i >= 3 and i <= 10 then return "EQ Band " .. (i - 2) end
	if i == 11 then return "Amp Model" end
	if i >= 13 and i <= 37 then return string.format ("Box%d - Param %d", (i - 13) // 5 + 1, (i - 13) % 5 + 1) end
	if i >= 39 and i <= 43 then return string.format ("Box %d Enable", i - 38) end
	return "unknown"
end

local function start_engine ()
	ARDOUR.config ():set_hide_dummy_backend (false)
	local be = AudioEngine:set_backend ("None (Dummy)", "Normal Speed", "")
	check (be and not be:isnil (), "the dummy audio backend is not available")
	be:set_device_name ("Silence")
	be:set_sample_rate (RATE)
	be:set_buffer_size (256)
end

local function tambrell_of (route)
	for i = 0, 16 do
		local p = route:nth_plugin (i)
		if p:isnil () then break end
		if p:name () == "Tambrell" then return p end
	end
	return nil
end

local function signal_of (route)
	for i = 0, 16 do
		local p = route:nth_plugin (i)
		if p:isnil () then break end
		if p:name () == "Tambrell Test Signal" then return p end
	end
	return nil
end

local function read_param (proc, i)
	local v = ARDOUR.LuaAPI.get_processor_param (proc, i, true)
	return v
end

local function render (session, name)
	local ex = session:simple_export ()
	ex:set_name (name)
	ex:set_folder (OUT)
	check (ex:set_preset (PRESET), "the float WAV export preset was not found")
	ex:set_range (0, SECS * RATE)
	local t0 = ARDOUR.LuaAPI.monotonic_time ()
	check (ex:run_export (), "the export of " .. name .. " failed")
	say (string.format ("EXPORTED %s.wav: %g s rendered offline in %.2f s", name, SECS,
		(ARDOUR.LuaAPI.monotonic_time () - t0) / 1e6))
end

local function read_back (proc, list, what)
	for _, s in ipairs (list) do
		local v = read_param (proc, s.index)
		say (string.format ("%s %2d %-16s = %.6g (expected %.6g)", what, s.index, expected_name (s.index), v, s.value))
		check (math.abs (v - s.value) <= 1e-6, string.format ("parameter %d reads %g, expected %g", s.index, v, s.value))
	end
end

local function create ()
	local session = create_session (SESS, SNAME, RATE)
	check (session, "could not create a session in " .. SESS)

	local found
	for p in ARDOUR.LuaAPI.list_plugins ():iter () do
		if p.type == ARDOUR.PluginType.LXVST and p.name == "Tambrell" then
			check (not found, "two Tambrell plug-ins in Ardour's list: " .. (found and found.path or "") .. ", " .. p.path)
			found = p
		end
	end
	check (found, "Tambrell is not among Ardour's Linux VST plug-ins (scanner cache empty?)")
	say (string.format ("FOUND %s by %s, VST id %s, %s", found.name, tostring (found.creator), found.unique_id, found.path))
	check (PLUGIN == "" or found.path == PLUGIN, "Ardour found " .. found.path .. " instead of " .. PLUGIN)

	local track = session:new_audio_track (2, 2, nil, 1, TRACK, ARDOUR.PresentationInfo.max_order,
		ARDOUR.TrackMode.Normal, true):front ()
	check (track, "could not add a stereo track")
	local signal = ARDOUR.LuaAPI.new_luaproc (session, "Tambrell Test Signal")
	check (not signal:isnil (), "the test signal script was not found")
	check (track:add_processor_by_index (signal, 0, nil, true) == 0, "could not add the test signal")

	local proc = ARDOUR.LuaAPI.new_plugin (session, found.unique_id, ARDOUR.PluginType.LXVST, "")
	check (not proc:isnil (), "Ardour could not instantiate Tambrell")
	check (track:add_processor_by_index (proc, 1, nil, true) == 0, "could not add Tambrell to the track")
	-- Adding a plug-in after a Lua processor leaves that one inactive.
	signal:to_insert ():activate ()
	check (signal:active () and proc:active (), "a processor on the track is not active")

	local insert = proc:to_insert ()
	local plug = insert:plugin (0)
	say (string.format ("INSTANCE %s by %s: %d parameters, audio %d in / %d out, latency %d",
		plug:name (), plug:maker (), plug:parameter_count (), insert:natural_input_streams ():n_audio (),
		insert:natural_output_streams ():n_audio (), insert:signal_latency ()))
	check (plug:parameter_count () == 44, "the plug-in reports " .. plug:parameter_count () .. " parameters, not 44")
	check (insert:natural_input_streams ():n_audio () == 2 and insert:natural_output_streams ():n_audio () == 2,
		"the plug-in is not stereo in and out")

	for i = 0, plug:parameter_count () - 1 do
		local _, pd = plug:get_parameter_descriptor (i, ARDOUR.ParameterDescriptor ())
		local d = pd[2]
		local name = plug:parameter_label (i)
		say (string.format ("PARAM %2d %-16s range [%g .. %g] value %g", i, name, d.lower, d.upper, read_param (proc, i)))
		check (plug:parameter_is_control (i) and plug:parameter_is_input (i), "parameter " .. i .. " is not an input control")
		check (name == expected_name (i), string.format ("parameter %d is named \"%s\", expected \"%s\"", i, name, expected_name (i)))
		check (d.lower == 0 and d.upper == 1, "parameter " .. i .. " does not range over 0..1")
	end

	local list = settings ()
	for _, s in ipairs (list) do
		ARDOUR.LuaAPI.set_processor_param (proc, s.index, s.value)
	end
	read_back (proc, list, "SET")

	render (session, RENDER)
	session:save_state ("", false, false, false, false, false)
end

local function reload ()
	local session = load_session (SESS, SNAME)
	check (session, "could not load the saved session " .. SESS)
	local route = session:route_by_name (TRACK)
	check (not route:isnil (), "the track is missing after the reload")
	local proc = tambrell_of (route)
	check (proc, "Tambrell is missing from the track after the reload")
	local signal = signal_of (route)
	check (signal, "the test signal is missing from the track after the reload")
	if not signal:active () then signal:to_insert ():activate () end
	check (proc:active (), "Tambrell is not active after the reload")
	say (string.format ("RELOADED session %s: %s on track %s", SNAME, proc:name (), TRACK))
	read_back (proc, settings (), "RELOAD")

	render (session, RENDER)
	session:save_state ("", false, false, false, false, false)
end

start_engine ()
if MODE == "create" then create () elseif MODE == "reload" then reload () else check (false, "unknown MODE " .. MODE) end
-- Routes and processors still referenced from Lua when the session closes are
-- freed after it, inside Ardour's teardown, and corrupt its heap: drop them first.
collectgarbage ()
collectgarbage ()
close_session ()
say ("PHASE " .. MODE .. " DONE")
