ardour { ["type"] = "dsp", name = "Tambrell Test Signal", category = "Utility", license = "MIT",
	author = "Tambrell", description = [[A plucked-string-like test tone that depends only on the transport position, so every render of the same range is fed the same samples]] }

function dsp_ioconfig () return { { audio_in = 2, audio_out = 2 } } end

local rate = 48000
function dsp_init (r) rate = r end

-- Three partials of 110 Hz under an envelope that plucks again every second.
local function sample_at (pos)
	local t = pos / rate
	local env = math.exp (-3.0 * (t % 1.0))
	local w = 2.0 * math.pi * 110.0 * t
	return 0.3 * env * (math.sin (w) + 0.5 * math.sin (2.0 * w) + 0.25 * math.sin (3.0 * w)) / 1.75
end

function dsp_run (ins, outs, n_samples)
	local a = {}
	if Session:transport_rolling () then
		local pos = Session:transport_sample ()
		for s = 1, n_samples do a[s] = sample_at (pos + s - 1) end
	else
		for s = 1, n_samples do a[s] = 0.0 end
	end
	for c = 1, #outs do outs[c]:set_table (a, n_samples) end
end
