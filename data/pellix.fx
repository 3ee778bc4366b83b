// Tracer effect: one technique, two passes over the same eight-vertex strips.
//   Pass 0 (refraction): bends the copy of the frame drawn so far toward each strip's centre
//   line, a heat-haze lens around the bullet's path. Drawn with source-alpha blending.
//   Pass 1 (display): the visible streak in the trail's colour. Drawn additively.
// The drawing sets the blend states before each pass; the passes do not change them.
//
// Vertex contract (44 bytes, FVF XYZ | NORMAL | DIFFUSE | TEX1 | TEXCOORDSIZE4(0)):
//   POSITION   world position of the vertex (no world matrix: matWVP is view x projection).
//   NORMAL     the vertex's anchor, the world point it is offset from: the trail's head point
//              for the four head vertices, its tail point for the four tail vertices. The
//              screen offset from the anchor points across (or beyond) the strip.
//   COLOR0     trail colour, ARGB; its alpha is the streak's opacity.
//   TEXCOORD0  x = u, along: -1 at the head cap's tip, 0 on the body, +1 at the tail cap's tip.
//              y = v, across: -1 and +1 on the two edges, 0 on the centre line.
//              length(u, v) is therefore the distance from the centre line in half-widths,
//              with round caps at both ends.
//              z = core fraction, display pass only: the part of the half-width drawn solid;
//              the rest fades out (1 for plain rounds: a hard edge; 0.5 for a tracer without
//              bloom). Left over from the last display strip in the refraction pass: unused.
//              w = tail bias: 0 at the head, the bias at the tail, interpolated in between;
//              1 + w is the brightness along the strip (-1 fades the streak out toward the tail).

texture RenderScene;         // the copy of the frame drawn so far
row_major float4x4 matWVP;   // view x projection, row vectors

static const float RefractStrength = 0.35;  // how far the lens pulls toward the centre line

sampler SceneSampler = sampler_state {
  Texture = <RenderScene>;
  MinFilter = Linear;
  MagFilter = Linear;
  MipFilter = None;
  AddressU = Clamp;
  AddressV = Clamp;
};

struct TracerVertex {
  float3 position : POSITION;
  float3 anchor : NORMAL;
  float4 colour : COLOR0;
  float4 shape : TEXCOORD0;
};

struct RefractionVertex {
  float4 clip : POSITION;
  float4 screen : TEXCOORD0;  // projective scene-copy coordinate of the vertex
  float4 anchor : TEXCOORD1;  // the same for its anchor
  float3 shape : TEXCOORD2;   // u, v, tail bias
};

struct DisplayVertex {
  float4 clip : POSITION;
  float4 colour : COLOR0;
  float4 shape : TEXCOORD0;  // u, v, core fraction, tail bias
};

// What the pixel shaders read: the vertex outputs without the position (not an input of
// ps_2_0).
struct RefractionPixel {
  float4 screen : TEXCOORD0;
  float4 anchor : TEXCOORD1;
  float3 shape : TEXCOORD2;
};

struct DisplayPixel {
  float4 colour : COLOR0;
  float4 shape : TEXCOORD0;
};

// Clip space to the scene copy's texture space, before the divide by w.
float4 SceneCoordinate(float4 clip) {
  return float4((clip.x + clip.w) * 0.5, (clip.w - clip.y) * 0.5, 0, clip.w);
}

RefractionVertex RefractionVS(TracerVertex input) {
  RefractionVertex output;
  output.clip = mul(float4(input.position, 1), matWVP);
  output.screen = SceneCoordinate(output.clip);
  output.anchor = SceneCoordinate(mul(float4(input.anchor, 1), matWVP));
  output.shape = float3(input.shape.xy, input.shape.w);
  return output;
}

float4 RefractionPS(RefractionPixel input) : COLOR0 {
  float2 here = input.screen.xy / input.screen.w;
  float2 centre = input.anchor.xy / input.anchor.w;
  float lens = saturate(1 - length(input.shape.xy));
  float2 uv = here + (centre - here) * (lens * RefractStrength);
  float4 scene = tex2D(SceneSampler, uv);
  return float4(scene.rgb, lens * saturate(1 + input.shape.z));
}

DisplayVertex DisplayVS(TracerVertex input) {
  DisplayVertex output;
  output.clip = mul(float4(input.position, 1), matWVP);
  output.colour = input.colour;
  output.shape = input.shape;
  return output;
}

float4 DisplayPS(DisplayPixel input) : COLOR0 {
  float edge = 1 - length(input.shape.xy);
  float across = saturate(edge / max(1 - input.shape.z, 1.0 / 64));
  float along = saturate(1 + input.shape.w);
  float alpha = input.colour.a * across * along;
  return float4(input.colour.rgb * alpha, alpha);  // premultiplied: added to the frame
}

technique Tracer {
  pass Refraction {
    VertexShader = compile vs_2_0 RefractionVS();
    PixelShader = compile ps_2_0 RefractionPS();
    ZWriteEnable = false;
    CullMode = None;
  }
  pass Display {
    VertexShader = compile vs_2_0 DisplayVS();
    PixelShader = compile ps_2_0 DisplayPS();
    ZWriteEnable = false;
    CullMode = None;
  }
}
