// The Olympus maker note: an 8-byte identifier, then the directory; in the newer notes the
// directory points at further ones (equipment, camera settings, focus, ...).

#include <iterator>
#include <vector>

#include "field_types.h"
#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"
#include "number_text.h"
#include "printf_format.h"
#include "text_filters.h"

namespace exif::detail {
namespace {

using makernote_rows::Described;
using makernote_rows::SubDirectoryRow;

// A list of numbers shows at most this many.
constexpr size_t kMaxListed = 64;

// clang-format off
// The directories the newer notes keep their settings in, each with its own numbers.
constexpr TagDef kEquipmentDefs[] = {
    Described(0x0000, "EquipmentVersion", "Equipment Version"),
    Described(0x0100, "CameraType2", "Camera Type 2"),
    Described(0x0101, "SerialNumber", "Serial Number"),
    Described(0x0102, "InternalSerialNumber", "Internal Serial Number"),
    Described(0x0103, "FocalPlaneDiagonal", "Focal Plane Diagonal"),
    Described(0x0104, "BodyFirmwareVersion", "Body Firmware Version"),
    Described(0x0201, "LensType", "Lens Type"),
    Described(0x0202, "LensSerialNumber", "Lens Serial Number"),
    Described(0x0203, "LensModel", "Lens Model"),
    Described(0x0204, "LensFirmwareVersion", "Lens Firmware Version"),
    Described(0x0205, "MaxApertureAtMinFocal", "Max Aperture At Min Focal"),
    Described(0x0206, "MaxApertureAtMaxFocal", "Max Aperture At Max Focal"),
    Described(0x0207, "MinFocalLength", "Min Focal Length"),
    Described(0x0208, "MaxFocalLength", "Max Focal Length"),
    Described(0x020A, "MaxAperture", "Max Aperture"),
    Described(0x020B, "LensProperties", "Lens Properties"),
    Described(0x0301, "Extender", "Extender"),
    Described(0x0302, "ExtenderSerialNumber", "Extender Serial Number"),
    Described(0x0303, "ExtenderModel", "Extender Model"),
    Described(0x0304, "ExtenderFirmwareVersion", "Extender Firmware Version"),
    Described(0x0403, "ConversionLens", "Conversion Lens"),
    Described(0x1000, "FlashType", "Flash Type", "0:None,2:Simple E-System,3:E-System,4:E-System (body powered)"),
    Described(0x1001, "FlashModel", "Flash Model", "0:None,1:FL-20,2:FL-50,3:RF-11,4:TF-22,5:FL-36,6:FL-50R,7:FL-36R,9:FL-14,11:FL-600R,13:FL-LM3,15:FL-900R"),
    Described(0x1002, "FlashFirmwareVersion", "Flash Firmware Version"),
    Described(0x1003, "FlashSerialNumber", "Flash Serial Number"),
};

constexpr TagDef kCameraSettingsDefs[] = {
    Described(0x0000, "CameraSettingsVersion", "Camera Settings Version"),
    Described(0x0100, "PreviewImageValid", "Preview Image Valid", "0:No,1:Yes"),
    Described(0x0101, "PreviewImageStart", "Preview Image Start"),
    Described(0x0102, "PreviewImageLength", "Preview Image Length"),
    Described(0x0200, "ExposureMode", "Exposure Mode", "1:Manual,2:Program,3:Aperture-priority AE,4:Shutter speed priority AE,5:Program-shift"),
    Described(0x0201, "AELock", "AE Lock", "0:Off,1:On"),
    Described(0x0202, "MeteringMode", "Metering Mode", "2:Center-weighted average,3:Spot,5:ESP,261:Pattern+AF,515:Spot+Highlight control,1027:Spot+Shadow control"),
    Described(0x0203, "ExposureShift", "Exposure Shift"),
    Described(0x0204, "NDFilter", "ND Filter", "0:Off,1:On"),
    Described(0x0300, "MacroMode", "Macro Mode", "0:Off,1:On,2:Super Macro"),
    Described(0x0301, "FocusMode", "Focus Mode", "0:Single AF,1:Sequential shooting AF,2:Continuous AF,3:Multi AF,4:Face Detect,10:MF"),
    Described(0x0302, "FocusProcess", "Focus Process", "0:AF Not Used,1:AF Used"),
    Described(0x0303, "AFSearch", "AF Search", "0:Not Ready,1:Ready"),
    Described(0x0304, "AFAreas", "AF Areas"),
    Described(0x0305, "AFPointSelected", "AF Point Selected"),
    Described(0x0306, "AFFineTune", "AF Fine Tune", "0:Off,1:On"),
    Described(0x0307, "AFFineTuneAdj", "AF Fine Tune Adj"),
    Described(0x0308, "FocusBracketStepSize", "Focus Bracket Step Size"),
    Described(0x0309, "AISubjectTrackingMode", "AI Subject Tracking Mode", "0:Off,1:Motorsports,2:Airplanes,3:Trains,4:Birds,5:Dogs & Cats"),
    Described(0x0400, "FlashMode", "Flash Mode", "0:Off,1:On,2:Fill-in,4:Red-eye,8:Slow-sync,16:Forced On,32:2nd Curtain"),
    Described(0x0401, "FlashExposureComp", "Flash Exposure Comp"),
    Described(0x0403, "FlashRemoteControl", "Flash Remote Control", "0:Off,1:Channel 1; Low,2:Channel 2; Low,3:Channel 3; Low,4:Channel 4; Low,9:Channel 1; Mid,10:Channel 2; Mid,11:Channel 3; Mid,12:Channel 4; Mid,17:Channel 1; High,18:Channel 2; High,19:Channel 3; High,20:Channel 4; High"),
    Described(0x0404, "FlashControlMode", "Flash Control Mode", "0:Off,3:TTL,4:Auto,5:Manual"),
    Described(0x0405, "FlashIntensity", "Flash Intensity"),
    Described(0x0406, "ManualFlashStrength", "Manual Flash Strength"),
    Described(0x0500, "WhiteBalance2", "White Balance 2", "0:Auto,1:Auto (Keep Warm Color Off),16:7500K (Fine Weather with Shade),17:6000K (Cloudy),18:5300K (Fine Weather),20:3000K (Tungsten light),21:3600K (Tungsten light-like),22:Auto Setup,23:5500K (Flash),33:6600K (Daylight fluorescent),34:4500K (Neutral white fluorescent),35:4000K (Cool white fluorescent),36:White Fluorescent,48:3600K (Tungsten light-like),67:Underwater,256:One Touch WB 1,257:One Touch WB 2,258:One Touch WB 3,259:One Touch WB 4,512:Custom WB 1,513:Custom WB 2,514:Custom WB 3,515:Custom WB 4"),
    Described(0x0501, "WhiteBalanceTemperature", "White Balance Temperature"),
    Described(0x0502, "WhiteBalanceBracket", "White Balance Bracket"),
    Described(0x0503, "CustomSaturation", "Custom Saturation"),
    Described(0x0504, "ModifiedSaturation", "Modified Saturation", "0:Off,1:CM1 (Red Enhance),2:CM2 (Green Enhance),3:CM3 (Blue Enhance),4:CM4 (Skin Tones)"),
    Described(0x0505, "ContrastSetting", "Contrast Setting"),
    Described(0x0506, "SharpnessSetting", "Sharpness Setting"),
    Described(0x0507, "ColorSpace", "Color Space", "0:sRGB,1:Adobe RGB,2:Pro Photo RGB"),
    Described(0x0509, "SceneMode", "Scene Mode"),
    Described(0x050A, "NoiseReduction", "Noise Reduction", "0:(none),1:Noise Reduction,2:Noise Filter,4:Noise Filter (ISO Boost),8:Auto"),
    Described(0x050B, "DistortionCorrection", "Distortion Correction", "0:Off,1:On"),
    Described(0x050C, "ShadingCompensation", "Shading Compensation", "0:Off,1:On"),
    Described(0x050D, "CompressionFactor", "Compression Factor"),
    Described(0x050F, "Gradation", "Gradation"),
    Described(0x0520, "PictureMode", "Picture Mode", "1:Vivid,2:Natural,3:Muted,4:Portrait,5:i-Enhance,6:e-Portrait,7:Color Creator,9:Color Profile 1,10:Color Profile 2,11:Color Profile 3,12:Monochrome Profile 1,13:Monochrome Profile 2,14:Monochrome Profile 3,256:Monotone,512:Sepia"),
    Described(0x0521, "PictureModeSaturation", "Picture Mode Saturation"),
    Described(0x0522, "PictureModeHue", "Picture Mode Hue"),
    Described(0x0523, "PictureModeContrast", "Picture Mode Contrast"),
    Described(0x0524, "PictureModeSharpness", "Picture Mode Sharpness"),
    Described(0x0525, "PictureModeBWFilter", "Picture Mode BW Filter", "0:n/a,1:Neutral,2:Yellow,3:Orange,4:Red,5:Green"),
    Described(0x0526, "PictureModeTone", "Picture Mode Tone", "0:n/a,1:Neutral,2:Sepia,3:Blue,4:Purple,5:Green"),
    Described(0x0527, "NoiseFilter", "Noise Filter"),
    Described(0x0529, "ArtFilter", "Art Filter", "0:Off,1:Soft Focus,2:Pop Art,3:Pale & Light Color,4:Light Tone,5:Pin Hole,6:Grainy Film,9:Diorama,10:Cross Process,12:Fish Eye,13:Drawing,14:Gentle Sepia,15:Pale & Light Color II,16:Pop Art II,17:Pin Hole II,18:Pin Hole III,19:Grainy Film II,20:Dramatic Tone,21:Punk,22:Soft Focus 2,23:Sparkle,24:Watercolor,25:Key Line,26:Key Line II,27:Miniature,28:Reflection,29:Fragmented,31:Cross Process II,32:Dramatic Tone II,33:Watercolor I,34:Watercolor II,35:Diorama II,36:Vintage,37:Vintage II,38:Vintage III,39:Partial Color,40:Partial Color II,41:Partial Color III"),
    Described(0x052C, "MagicFilter", "Magic Filter", "0:Off,1:Soft Focus,2:Pop Art,3:Pale & Light Color,4:Light Tone,5:Pin Hole,6:Grainy Film,9:Diorama,10:Cross Process,12:Fish Eye,13:Drawing,14:Gentle Sepia,15:Pale & Light Color II,16:Pop Art II,17:Pin Hole II,18:Pin Hole III,19:Grainy Film II,20:Dramatic Tone,21:Punk,22:Soft Focus 2,23:Sparkle,24:Watercolor,25:Key Line,26:Key Line II,27:Miniature,28:Reflection,29:Fragmented,31:Cross Process II,32:Dramatic Tone II,33:Watercolor I,34:Watercolor II,35:Diorama II,36:Vintage,37:Vintage II,38:Vintage III,39:Partial Color,40:Partial Color II,41:Partial Color III"),
    Described(0x052D, "PictureModeEffect", "Picture Mode Effect"),
    Described(0x052E, "ToneLevel", "Tone Level", "-31999:Highlights,-31998:Shadows,-31997:Midtones,0:0"),
    Described(0x052F, "ArtFilterEffect", "Art Filter Effect", "0:Off,1:Soft Focus,2:Pop Art,3:Pale & Light Color,4:Light Tone,5:Pin Hole,6:Grainy Film,9:Diorama,10:Cross Process,12:Fish Eye,13:Drawing,14:Gentle Sepia,15:Pale & Light Color II,16:Pop Art II,17:Pin Hole II,18:Pin Hole III,19:Grainy Film II,20:Dramatic Tone,21:Punk,22:Soft Focus 2,23:Sparkle,24:Watercolor,25:Key Line,26:Key Line II,27:Miniature,28:Reflection,29:Fragmented,31:Cross Process II,32:Dramatic Tone II,33:Watercolor I,34:Watercolor II,35:Diorama II,36:Vintage,37:Vintage II,38:Vintage III,39:Partial Color,40:Partial Color II,41:Partial Color III"),
    Described(0x0532, "ColorCreatorEffect", "Color Creator Effect"),
    Described(0x0537, "MonochromeProfileSettings", "Monochrome Profile Settings", "0:No Filter,1:Yellow Filter,2:Orange Filter,3:Red Filter,4:Magenta Filter,5:Blue Filter,6:Cyan Filter,7:Green Filter,8:Yellow-green Filter"),
    Described(0x0538, "FilmGrainEffect", "Film Grain Effect", "0:Off,1:Low,2:Medium,3:High"),
    Described(0x0539, "ColorProfileSettings", "Color Profile Settings"),
    Described(0x053A, "MonochromeVignetting", "Monochrome Vignetting"),
    Described(0x053B, "MonochromeColor", "Monochrome Color", "0:(none),1:Normal,2:Sepia,3:Blue,4:Purple,5:Green"),
    Described(0x0600, "DriveMode", "Drive Mode"),
    Described(0x0601, "PanoramaMode", "Panorama Mode"),
    Described(0x0603, "ImageQuality2", "Image Quality 2", "1:SQ,2:HQ,3:SHQ,4:RAW,5:SQ (5)"),
    Described(0x0604, "ImageStabilization", "Image Stabilization", "0:Off,1:On; Mode 1,2:On; Mode 2,3:On; Mode 3,4:On; Mode 4"),
    Described(0x0804, "StackedImage", "Stacked Image"),
    Described(0x0900, "ManometerPressure", "Manometer Pressure"),
    Described(0x0901, "ManometerReading", "Manometer Reading"),
    Described(0x0902, "ExtendedWBDetect", "Extended WB Detect", "0:Off,1:On"),
    Described(0x0903, "RollAngle", "Roll Angle"),
    Described(0x0904, "PitchAngle", "Pitch Angle"),
    Described(0x0908, "DateTimeUTC", "Date Time UTC"),
};

constexpr TagDef kRawDevelopmentDefs[] = {
    Described(0x0000, "RawDevVersion", "Raw Dev Version"),
    Described(0x0100, "RawDevExposureBiasValue", "Raw Dev Exposure Bias Value"),
    Described(0x0101, "RawDevWhiteBalanceValue", "Raw Dev White Balance Value"),
    Described(0x0102, "RawDevWBFineAdjustment", "Raw Dev WB Fine Adjustment"),
    Described(0x0103, "RawDevGrayPoint", "Raw Dev Gray Point"),
    Described(0x0104, "RawDevSaturationEmphasis", "Raw Dev Saturation Emphasis"),
    Described(0x0105, "RawDevMemoryColorEmphasis", "Raw Dev Memory Color Emphasis"),
    Described(0x0106, "RawDevContrastValue", "Raw Dev Contrast Value"),
    Described(0x0107, "RawDevSharpnessValue", "Raw Dev Sharpness Value"),
    Described(0x0108, "RawDevColorSpace", "Raw Dev Color Space", "0:sRGB,1:Adobe RGB,2:Pro Photo RGB"),
    Described(0x0109, "RawDevEngine", "Raw Dev Engine", "0:High Speed,1:High Function,2:Advanced High Speed,3:Advanced High Function"),
    Described(0x010A, "RawDevNoiseReduction", "Raw Dev Noise Reduction", "0:(none),1:Noise Reduction,2:Noise Filter,4:Noise Filter (ISO Boost)"),
    Described(0x010B, "RawDevEditStatus", "Raw Dev Edit Status", "0:Original,1:Edited (Landscape),6:Edited (Portrait),8:Edited (Portrait)"),
    Described(0x010C, "RawDevSettings", "Raw Dev Settings", "0:(none),1:WB Color Temp,2:WB Gray Point,4:Saturation,8:Contrast,16:Sharpness,32:Color Space,64:High Function,128:Noise Reduction"),
};

constexpr TagDef kRawDevelopment2Defs[] = {
    Described(0x0000, "RawDevVersion", "Raw Dev Version"),
    Described(0x0100, "RawDevExposureBiasValue", "Raw Dev Exposure Bias Value"),
    Described(0x0101, "RawDevWhiteBalance", "Raw Dev White Balance", "1:Color Temperature,2:Gray Point"),
    Described(0x0102, "RawDevWhiteBalanceValue", "Raw Dev White Balance Value"),
    Described(0x0103, "RawDevWBFineAdjustment", "Raw Dev WB Fine Adjustment"),
    Described(0x0104, "RawDevGrayPoint", "Raw Dev Gray Point"),
    Described(0x0105, "RawDevContrastValue", "Raw Dev Contrast Value"),
    Described(0x0106, "RawDevSharpnessValue", "Raw Dev Sharpness Value"),
    Described(0x0107, "RawDevSaturationEmphasis", "Raw Dev Saturation Emphasis"),
    Described(0x0108, "RawDevMemoryColorEmphasis", "Raw Dev Memory Color Emphasis"),
    Described(0x0109, "RawDevColorSpace", "Raw Dev Color Space", "0:sRGB,1:Adobe RGB,2:Pro Photo RGB"),
    Described(0x010A, "RawDevNoiseReduction", "Raw Dev Noise Reduction", "0:(none),1:Noise Reduction,2:Noise Filter,4:Noise Filter (ISO Boost)"),
    Described(0x010B, "RawDevEngine", "Raw Dev Engine", "0:High Speed,1:High Function"),
    Described(0x010C, "RawDevPictureMode", "Raw Dev Picture Mode", "1:Vivid,2:Natural,3:Muted,256:Monotone,512:Sepia"),
    Described(0x010D, "RawDevPMSaturation", "Raw Dev PM Saturation"),
    Described(0x010E, "RawDevPMContrast", "Raw Dev PM Contrast"),
    Described(0x010F, "RawDevPMSharpness", "Raw Dev PM Sharpness"),
    Described(0x0110, "RawDevPM_BWFilter", "Raw Dev PM BW Filter", "1:Neutral,2:Yellow,3:Orange,4:Red,5:Green"),
    Described(0x0111, "RawDevPMPictureTone", "Raw Dev PM Picture Tone", "1:Neutral,2:Sepia,3:Blue,4:Purple,5:Green"),
    Described(0x0112, "RawDevGradation", "Raw Dev Gradation"),
    Described(0x0113, "RawDevSaturation3", "Raw Dev Saturation 3"),
    Described(0x0119, "RawDevAutoGradation", "Raw Dev Auto Gradation", "0:Off,1:On"),
    Described(0x0120, "RawDevPMNoiseFilter", "Raw Dev PM Noise Filter"),
    Described(0x0121, "RawDevArtFilter", "Raw Dev Art Filter", "0:Off,1:Soft Focus,2:Pop Art,3:Pale & Light Color,4:Light Tone,5:Pin Hole,6:Grainy Film,9:Diorama,10:Cross Process,12:Fish Eye,13:Drawing,14:Gentle Sepia,15:Pale & Light Color II,16:Pop Art II,17:Pin Hole II,18:Pin Hole III,19:Grainy Film II,20:Dramatic Tone,21:Punk,22:Soft Focus 2,23:Sparkle,24:Watercolor,25:Key Line,26:Key Line II,27:Miniature,28:Reflection,29:Fragmented,31:Cross Process II,32:Dramatic Tone II,33:Watercolor I,34:Watercolor II,35:Diorama II,36:Vintage,37:Vintage II,38:Vintage III,39:Partial Color,40:Partial Color II,41:Partial Color III"),
};

constexpr TagDef kImageProcessingDefs[] = {
    Described(0x0000, "ImageProcessingVersion", "Image Processing Version"),
    Described(0x0100, "WB_RBLevels", "WB RB Levels"),
    Described(0x0102, "WB_RBLevels3000K", "WB RB Levels 3000K"),
    Described(0x0103, "WB_RBLevels3300K", "WB RB Levels 3300K"),
    Described(0x0104, "WB_RBLevels3600K", "WB RB Levels 3600K"),
    Described(0x0105, "WB_RBLevels3900K", "WB RB Levels 3900K"),
    Described(0x0106, "WB_RBLevels4000K", "WB RB Levels 4000K"),
    Described(0x0107, "WB_RBLevels4300K", "WB RB Levels 4300K"),
    Described(0x0108, "WB_RBLevels4500K", "WB RB Levels 4500K"),
    Described(0x0109, "WB_RBLevels4800K", "WB RB Levels 4800K"),
    Described(0x010A, "WB_RBLevels5300K", "WB RB Levels 5300K"),
    Described(0x010B, "WB_RBLevels6000K", "WB RB Levels 6000K"),
    Described(0x010C, "WB_RBLevels6600K", "WB RB Levels 6600K"),
    Described(0x010D, "WB_RBLevels7500K", "WB RB Levels 7500K"),
    Described(0x010E, "WB_RBLevelsCWB1", "WB RB Levels CWB1"),
    Described(0x010F, "WB_RBLevelsCWB2", "WB RB Levels CWB2"),
    Described(0x0110, "WB_RBLevelsCWB3", "WB RB Levels CWB3"),
    Described(0x0111, "WB_RBLevelsCWB4", "WB RB Levels CWB4"),
    Described(0x0113, "WB_GLevel3000K", "WB G Level 3000K"),
    Described(0x0114, "WB_GLevel3300K", "WB G Level 3300K"),
    Described(0x0115, "WB_GLevel3600K", "WB G Level 3600K"),
    Described(0x0116, "WB_GLevel3900K", "WB G Level 3900K"),
    Described(0x0117, "WB_GLevel4000K", "WB G Level 4000K"),
    Described(0x0118, "WB_GLevel4300K", "WB G Level 4300K"),
    Described(0x0119, "WB_GLevel4500K", "WB G Level 4500K"),
    Described(0x011A, "WB_GLevel4800K", "WB G Level 4800K"),
    Described(0x011B, "WB_GLevel5300K", "WB G Level 5300K"),
    Described(0x011C, "WB_GLevel6000K", "WB G Level 6000K"),
    Described(0x011D, "WB_GLevel6600K", "WB G Level 6600K"),
    Described(0x011E, "WB_GLevel7500K", "WB G Level 7500K"),
    Described(0x011F, "WB_GLevel", "WB G Level"),
    Described(0x0200, "ColorMatrix", "Color Matrix"),
    Described(0x0300, "Enhancer", "Enhancer"),
    Described(0x0301, "EnhancerValues", "Enhancer Values"),
    Described(0x0310, "CoringFilter", "Coring Filter"),
    Described(0x0311, "CoringValues", "Coring Values"),
    Described(0x0600, "BlackLevel2", "Black Level 2"),
    Described(0x0610, "GainBase", "Gain Base"),
    Described(0x0611, "ValidBits", "Valid Bits"),
    Described(0x0612, "CropLeft", "Crop Left"),
    Described(0x0613, "CropTop", "Crop Top"),
    Described(0x0614, "CropWidth", "Crop Width"),
    Described(0x0615, "CropHeight", "Crop Height"),
    Described(0x0635, "UnknownBlock1", "Unknown Block 1"),
    Described(0x0636, "UnknownBlock2", "Unknown Block 2"),
    Described(0x0805, "SensorCalibration", "Sensor Calibration"),
    Described(0x1010, "NoiseReduction2", "Noise Reduction 2", "0:(none),1:Noise Reduction,2:Noise Filter,4:Noise Filter (ISO Boost)"),
    Described(0x1011, "DistortionCorrection2", "Distortion Correction 2", "0:Off,1:On"),
    Described(0x1012, "ShadingCompensation2", "Shading Compensation 2", "0:Off,1:On"),
    Described(0x101C, "MultipleExposureMode", "Multiple Exposure Mode", "0:Off,1:Live Composite,2:On (2 frames),3:On (3 frames)"),
    Described(0x1103, "UnknownBlock3", "Unknown Block 3"),
    Described(0x1104, "UnknownBlock4", "Unknown Block 4"),
    Described(0x1112, "AspectRatio", "Aspect Ratio"),
    Described(0x1113, "AspectFrame", "Aspect Frame"),
    Described(0x1200, "FacesDetected", "Faces Detected"),
    Described(0x1201, "FaceDetectArea", "Face Detect Area"),
    Described(0x1202, "MaxFaces", "Max Faces"),
    Described(0x1203, "FaceDetectFrameSize", "Face Detect Frame Size"),
    Described(0x1207, "FaceDetectFrameCrop", "Face Detect Frame Crop"),
    Described(0x1306, "CameraTemperature", "Camera Temperature"),
    Described(0x1900, "KeystoneCompensation", "Keystone Compensation"),
    Described(0x1901, "KeystoneDirection", "Keystone Direction", "0:Vertical,1:Horizontal"),
    Described(0x1906, "KeystoneValue", "Keystone Value"),
};

constexpr TagDef kFocusInfoDefs[] = {
    Described(0x0000, "FocusInfoVersion", "Focus Info Version"),
    Described(0x0209, "AutoFocus", "Auto Focus", "0:Off,1:On"),
    Described(0x0210, "SceneDetect", "Scene Detect"),
    Described(0x0211, "SceneArea", "Scene Area"),
    Described(0x0212, "SceneDetectData", "Scene Detect Data"),
    Described(0x0300, "ZoomStepCount", "Zoom Step Count"),
    Described(0x0301, "FocusStepCount", "Focus Step Count"),
    Described(0x0303, "FocusStepInfinity", "Focus Step Infinity"),
    Described(0x0304, "FocusStepNear", "Focus Step Near"),
    Described(0x0305, "FocusDistance", "Focus Distance", {}, nullptr, DecodeOlympusFocusDistance),
    Described(0x0308, "AFPoint", "AF Point"),
    Described(0x1201, "ExternalFlash", "External Flash"),
    Described(0x1203, "ExternalFlashGuideNumber", "External Flash Guide Number"),
    Described(0x1204, "ExternalFlashBounce", "External Flash Bounce", "0:Bounce or Off,1:Direct"),
    Described(0x1205, "ExternalFlashZoom", "External Flash Zoom"),
    Described(0x1208, "InternalFlash", "Internal Flash"),
    Described(0x1209, "ManualFlash", "Manual Flash"),
    Described(0x120A, "MacroLED", "Macro LED", "0:Off,1:On"),
    Described(0x1500, "SensorTemperature", "Sensor Temperature"),
    Described(0x1600, "ImageStabilization", "Image Stabilization"),
};

constexpr TagDef kOlympusDefs[] = {
    Described(0x0000, "MakerNoteVersion", "Maker Note Version"),
    Described(0x0040, "CompressedImageSize", "Compressed Image Size"),
    Described(0x0081, "PreviewImageData", "Preview Image Data"),
    Described(0x0088, "PreviewImageStart", "Preview Image Start"),
    Described(0x0089, "PreviewImageLength", "Preview Image Length"),
    Described(0x0100, "ThumbnailImage", "Thumbnail Image"),
    Described(0x0104, "BodyFirmwareVersion", "Body Firmware Version"),
    Described(0x0200, "SpecialMode", "SpecialMode"),
    Described(0x0201, "JpegQual", "JpegQual", "1:SQ,2:HQ,3:SHQ,4:Raw"),
    Described(0x0202, "Macro", "Macro", "0:Normal,1:Macro"),
    Described(0x0203, "Skip", "Skip"),
    Described(0x0204, "DigiZoom", "Digital Zoom Ratio"),
    Described(0x0205, "Skip", "Skip"),
    Described(0x0206, "Skip", "Skip"),
    Described(0x0207, "Firmware", "Firmware"),
    Described(0x0208, "PictInfo", "Picture Info"),
    Described(0x0209, "CameraID", "Camera ID"),
    Described(0x020B, "EpsonImageWidth", "Epson Image Width"),
    Described(0x020C, "EpsonImageHeight", "Epson Image Height"),
    Described(0x020D, "EpsonSoftware", "Epson Software"),
    Described(0x0280, "PreviewImage", "Preview Image"),
    Described(0x0300, "PreCaptureFrames", "Pre Capture Frames"),
    Described(0x0301, "WhiteBoard", "White Board"),
    Described(0x0302, "OneTouchWB", "One Touch WB", "0:Off,1:On,2:On (Preset)"),
    Described(0x0303, "WhiteBalanceBracket", "White Balance Bracket"),
    Described(0x0304, "WhiteBalanceBias", "White Balance Bias"),
    Described(0x0400, "SensorArea", "Sensor Area"),
    Described(0x0401, "BlackLevel", "Black Level"),
    Described(0x0403, "SceneMode", "Scene Mode", "0:Normal,1:Standard,2:Auto,3:Intelligent Auto,4:Portrait,5:Landscape+Portrait,6:Landscape,7:Night Scene,8:Night+Portrait,9:Sport,10:Self Portrait,11:Indoor,12:Beach & Snow,13:Beach,14:Snow,15:Self Portrait+Self Timer,16:Sunset,17:Cuisine,18:Documents,19:Candle,20:Fireworks,21:Available Light,22:Vivid,23:Underwater Wide1,24:Underwater Macro,25:Museum,26:Behind Glass,27:Auction,28:Shoot & Select1,29:Shoot & Select2,30:Underwater Wide2,31:Digital Image Stabilization,32:Face Portrait,33:Pet,34:Smile Shot,35:Quick Shutter,43:Hand-held Starlight,100:Panorama,101:Magic Filter,103:HDR"),
    Described(0x0404, "SerialNumber", "Serial Number"),
    Described(0x0405, "Firmware", "Firmware"),
    Described(0x0F00, "Skip", "Skip"),
    Described(0x0F01, "DataDump2", "Data Dump 2"),
    Described(0x0F04, "ZoomedPreviewStart", "Zoomed Preview Start"),
    Described(0x0F05, "ZoomedPreviewLength", "Zoomed Preview Length"),
    Described(0x0F06, "ZoomedPreviewSize", "Zoomed Preview Size"),
    Described(0x1000, "ShutterSpeedValue", "Shutter Speed Value"),
    Described(0x1001, "ISOValue", "ISO Value"),
    Described(0x1002, "ApertureValue", "Aperture Value"),
    Described(0x1003, "BrightnessValue", "Brightness Value"),
    Described(0x1004, "FlashMode", "Flash Mode"),
    Described(0x1005, "FlashDevice", "Flash Device", "0:None,1:Internal,4:External,5:Internal + External"),
    Described(0x1006, "Bracket", "Bracket"),
    Described(0x1007, "SensorTemperature", "Sensor Temperature"),
    Described(0x1008, "LensTemperature", "Lens Temperature"),
    Described(0x1009, "LightCondition", "Light Condition"),
    Described(0x100A, "FocusRange", "Focus Range", "0:Normal,1:Macro"),
    Described(0x100B, "FocusMode", "Focus Mode"),
    Described(0x100C, "FocusDistance", "Focus Distance"),
    Described(0x100D, "Zoom", "Zoom"),
    Described(0x100E, "MacroFocus", "Macro Focus"),
    Described(0x100F, "Sharpness", "Sharpness"),
    Described(0x1010, "FlashChargeLevel", "Flash Charge Level"),
    Described(0x1011, "ColorMatrix", "Color Matrix", {}, nullptr, DecodeSigned16List),
    Described(0x1012, "BlackLevel", "Black Level"),
    Described(0x1013, "ColorTemperatureBG", "Color Temperature BG"),
    Described(0x1014, "ColorTemperatureRG", "Color Temperature RG"),
    Described(0x1015, "WhiteBalance", "White Balance"),
    Described(0x1017, "RedBias", "Red Bias", {}, nullptr, DecodeOlympusBalance),
    Described(0x1018, "BlueBias", "Blue Bias", {}, nullptr, DecodeOlympusBalance),
    Described(0x1019, "ColorMatrixNumber", "Color Matrix Number"),
    Described(0x101A, "SerialNumber", "SerialNumber"),
    Described(0x101B, "ExternalFlashAE1_0", "External Flash AE1 0"),
    Described(0x101C, "ExternalFlashAE2_0", "External Flash AE2 0"),
    Described(0x101D, "InternalFlashAE1_0", "Internal Flash AE1 0"),
    Described(0x101E, "InternalFlashAE2_0", "Internal Flash AE2 0"),
    Described(0x101F, "ExternalFlashAE1", "External Flash AE1"),
    Described(0x1020, "ExternalFlashAE2", "External Flash AE2"),
    Described(0x1021, "InternalFlashAE1", "Internal Flash AE1"),
    Described(0x1022, "InternalFlashAE2", "Internal Flash AE2"),
    Described(0x1023, "FlashBias", "Flash Bias"),
    Described(0x1024, "InternalFlashTable", "Internal Flash Table"),
    Described(0x1025, "ExternalFlashGValue", "External Flash G Value"),
    Described(0x1026, "ExternalFlashBounce", "External Flash Bounce", "0:No,1:Yes"),
    Described(0x1027, "ExternalFlashZoom", "External Flash Zoom"),
    Described(0x1028, "ExternalFlashMode", "External Flash Mode"),
    Described(0x1029, "Contrast", "Contrast"),
    Described(0x102A, "SharpnessFactor", "Sharpness Factor"),
    Described(0x102B, "ColorControl", "Color Control"),
    Described(0x102C, "ValidBits", "Valid Bits"),
    Described(0x102D, "Coring", "Coring Filter"),
    Described(0x102E, "FinalWidth", "Final Width"),
    Described(0x102F, "FinalHeight", "Final Height"),
    Described(0x1030, "SceneDetect", "Scene Detect"),
    Described(0x1031, "SceneArea", "Scene Area"),
    Described(0x1033, "SceneDetectData", "Scene Detect Data"),
    Described(0x1034, "CompressionRatio", "Compression Ratio"),
    Described(0x1035, "PreviewImageValid", "Preview Image Valid", "0:No,1:Yes"),
    Described(0x1036, "PreviewImageStart", "Preview Image Start"),
    Described(0x1037, "PreviewImageLength", "Preview Image Length"),
    Described(0x1038, "AFResult", "AF Result"),
    Described(0x1039, "CCDScanMode", "CCD Scan Mode", "0:Interlaced,1:Progressive"),
    Described(0x103A, "NoiseReduction", "Noise Reduction", "0:Off,1:On"),
    Described(0x103B, "FocusStepInfinity", "Focus Step Infinity"),
    Described(0x103C, "FocusStepNear", "Focus Step Near"),
    Described(0x103D, "LightValueCenter", "Light Value Center"),
    Described(0x103E, "LightValuePeriphery", "Light Value Periphery"),
    Described(0x103F, "FieldCount", "Field Count"),
    SubDirectoryRow(0x2010, "Equipment", OlympusEquipmentTags),
    SubDirectoryRow(0x2020, "CameraSettings", OlympusCameraSettingsTags),
    SubDirectoryRow(0x2030, "RawDevelopment", OlympusRawDevelopmentTags),
    SubDirectoryRow(0x2031, "RawDevelopment2", OlympusRawDevelopment2Tags),
    SubDirectoryRow(0x2040, "ImageProcessing", OlympusImageProcessingTags),
    SubDirectoryRow(0x2050, "FocusInfo", OlympusFocusInfoTags),
};
// clang-format on

static_assert(std::size(kOlympusDefs) == kOlympusTagCount);
static_assert(TagsAscending(kOlympusDefs));
static_assert(TagsAscending(kEquipmentDefs) && TagsAscending(kCameraSettingsDefs) &&
              TagsAscending(kRawDevelopmentDefs) && TagsAscending(kRawDevelopment2Defs) &&
              TagsAscending(kImageProcessingDefs) && TagsAscending(kFocusInfoDefs));

}  // namespace

std::string DecodeOlympusBalance(const std::string& text, DecodeContext& context) {
  // The first number in 256ths; what follows it is the scale's own record.
  if (context.Raw.size() < 2) return MakePrintable(text);
  const auto number = static_cast<uint16_t>(RawToInteger(context.Raw.substr(0, 2), context.BigEndian));
  return FormatText("%g", {number / 256.0});
}

std::string DecodeSigned16List(const std::string& text, DecodeContext& context) {
  if (context.Raw.size() < 2 || context.Raw.size() % 2 != 0) return MakePrintable(text);
  std::string numbers;
  for (size_t i = 0; i < context.Raw.size() && i < 2 * kMaxListed; i += 2) {
    if (i > 0) numbers += ", ";
    numbers += IntegerText(static_cast<int16_t>(RawToInteger(context.Raw.substr(i, 2), context.BigEndian)));
  }
  return numbers;
}

std::span<const TTagEntry> OlympusTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kOlympusDefs);
  return table;
}

std::string DecodeOlympusFocusDistance(const std::string& text, DecodeContext& context) {
  // Millimetres in the first rational; all ones for infinity.
  if (context.Type != kRational || context.Raw.size() < 8) return MakePrintable(text);
  const auto millimetres =
      static_cast<uint32_t>(RawToInteger(context.Raw.substr(0, 4), context.BigEndian));
  const auto divisor =
      static_cast<uint32_t>(RawToInteger(context.Raw.substr(4, 4), context.BigEndian));
  if (millimetres == UINT32_MAX) return "inf";
  if (divisor == 0) return MakePrintable(text);
  return DecimalText(static_cast<long double>(millimetres) / divisor / 1000, 3) + " m";
}

// Each table built once, on first use.
template <const auto& Defs>
std::span<const TTagEntry> TableOf() {
  static const std::vector<TTagEntry> table = BuildTagTable(Defs);
  return table;
}

std::span<const TTagEntry> OlympusEquipmentTags() { return TableOf<kEquipmentDefs>(); }
std::span<const TTagEntry> OlympusCameraSettingsTags() { return TableOf<kCameraSettingsDefs>(); }
std::span<const TTagEntry> OlympusRawDevelopmentTags() { return TableOf<kRawDevelopmentDefs>(); }
std::span<const TTagEntry> OlympusRawDevelopment2Tags() { return TableOf<kRawDevelopment2Defs>(); }
std::span<const TTagEntry> OlympusImageProcessingTags() { return TableOf<kImageProcessingDefs>(); }
std::span<const TTagEntry> OlympusFocusInfoTags() { return TableOf<kFocusInfoDefs>(); }

}  // namespace exif::detail
